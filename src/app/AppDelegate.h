// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DockFileDropRelay.h"
#include "OpenRequest.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace pressel {

// Receives the files that the system hands to the application from outside its window
// (the launch's arguments, a file manager's "Open With", a second launch) and passes them
// to the relay, which carries them to the window. Lives on the GUI thread.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(DockFileDropRelay &relay = DockFileDropRelay::shared(), QObject *parent = nullptr);

    void applicationDidFinishLaunching();
    // Paths as given; relative ones are read against launchFolder. Every request succeeds,
    // whether or not the relay kept anything: the answer to the sender is always success.
    void openFiles(const QStringList &paths, const QString &launchFolder);
    // URLs of any kind; the relay keeps the file URLs among them.
    void openURLs(const QList<QUrl> &urls);

    // A launch's arguments: paths alone are an open-files request; as soon as one of them is a
    // URI (a file manager passes file:// URIs), all of them are one open-URLs request, so that
    // no file of a mixed list is lost. No arguments only bring the window to the front.
    void open(const OpenRequest &request);

#ifdef Q_OS_MACOS
    bool eventFilter(QObject *watched, QEvent *event) override;
#endif

private:
    DockFileDropRelay &m_relay;
};

} // namespace pressel

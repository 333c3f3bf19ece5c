// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

class QFileDialog;

namespace pressel {

// The window's Open dialog, for several files or for folders, and the settings' choice of the
// folder outputs are saved to. The desktop's own chooser
// answers through the XDG desktop portal where one runs on the session bus; elsewhere Qt's
// file dialog does, in the window's language (Qt's own translation of its texts) and colours.
// Either way it offers the kinds of image the saved settings compress, and what is chosen
// comes out of chosen(), never straight into a batch.
class OpenDialog : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The window the dialog belongs to, and the folder it starts in.
    Q_PROPERTY(QWindow *parentWindow MEMBER m_parentWindow FINAL)
    Q_PROPERTY(QUrl folder MEMBER m_folder FINAL)
    // The window's colours, which Qt's dialog takes.
    Q_PROPERTY(QColor windowColor MEMBER m_windowColor FINAL)
    Q_PROPERTY(QColor accentColor MEMBER m_accentColor FINAL)
    // Off: a single file or folder, as for the folder outputs are saved to.
    Q_PROPERTY(bool multiple MEMBER m_multiple FINAL)
    // The dialog's title, when not the Open dialog's own.
    Q_PROPERTY(QString title MEMBER m_title FINAL)

public:
    // The session bus, when the session names one: a bus is never launched for this.
    explicit OpenDialog(QObject *parent = nullptr);
    // For tests: the given connection stands for the session bus.
    explicit OpenDialog(const QDBusConnection &connection, QObject *parent = nullptr);

    // Does nothing while a dialog of this object is open.
    Q_INVOKABLE void chooseFiles();
    Q_INVOKABLE void chooseFolders();

signals:
    void chosen(const QList<QUrl> &urls);

private slots:
    void portalResponded(uint response, const QVariantMap &results);

private:
    void openWithPortal(bool folders);
    void openWithQt(bool folders);
    void followRequest(const QString &path, bool follow);
    QString title(bool folders) const;

    QDBusConnection m_connection;
    QPointer<QWindow> m_parentWindow;
    QUrl m_folder;
    QColor m_windowColor;
    QColor m_accentColor;
    bool m_multiple = true;
    QString m_title;
    // The portal's request while its chooser is open, or Qt's dialog while it is.
    QString m_request;
    QPointer<QFileDialog> m_dialog;
};

} // namespace pressel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppDelegate.h"

#include "Logging.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef Q_OS_MACOS
#include <QFileOpenEvent>
#endif

namespace pressel {

namespace {

QUrl fileURL(const QString &path, const QString &launchFolder)
{
    return QUrl::fromLocalFile(QDir::cleanPath(QDir(launchFolder).absoluteFilePath(path)));
}

// A scheme of two letters or more and a colon, and no file of that name: "file:///a.jpg" is a
// URI, a file literally named "notes:1.png" in the launch folder stays a path.
bool isURI(const QString &argument, const QString &launchFolder)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(argument).hasMatch() && !QFileInfo::exists(QDir(launchFolder).absoluteFilePath(argument));
}

QString displayPath(const QUrl &url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.toString();
}

} // namespace

AppDelegate::AppDelegate(DockFileDropRelay &relay, QObject *parent)
    : QObject(parent)
    , m_relay(relay)
{}

void AppDelegate::applicationDidFinishLaunching()
{
    qCInfo(lcDockDrop).noquote() << QStringLiteral("applicationDidFinishLaunching");
}

void AppDelegate::openFiles(const QStringList &paths, const QString &launchFolder)
{
    qCInfo(lcDockDrop).noquote() << QStringLiteral("application(openFiles:) received %1 file(s): %2")
                                        .arg(QString::number(paths.size()), paths.join(QStringLiteral(", ")));
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QString &path : paths)
        urls.append(fileURL(path, launchFolder));
    m_relay.enqueue(urls);
}

void AppDelegate::openURLs(const QList<QUrl> &urls)
{
    QStringList paths;
    paths.reserve(urls.size());
    for (const QUrl &url : urls)
        paths.append(displayPath(url));
    qCInfo(lcDockDrop).noquote() << QStringLiteral("application(open:) received %1 url(s): %2")
                                        .arg(QString::number(urls.size()), paths.join(QStringLiteral(", ")));
    m_relay.enqueue(urls);
}

void AppDelegate::open(const OpenRequest &request)
{
    if (request.arguments.isEmpty()) {
        m_relay.activateApplication();
        return;
    }
    const bool anyURI = std::any_of(request.arguments.begin(), request.arguments.end(),
                                    [&](const QString &argument) { return isURI(argument, request.workingDirectory); });
    if (!anyURI) {
        openFiles(request.arguments, request.workingDirectory);
        return;
    }
    QList<QUrl> urls;
    urls.reserve(request.arguments.size());
    for (const QString &argument : request.arguments) {
        urls.append(isURI(argument, request.workingDirectory) ? QUrl(argument, QUrl::StrictMode)
                                                              : fileURL(argument, request.workingDirectory));
    }
    openURLs(urls);
}

#ifdef Q_OS_MACOS
bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    // The system's open request: one event per file or URL.
    if (event->type() == QEvent::FileOpen) {
        const auto *openEvent = static_cast<QFileOpenEvent *>(event);
        const QUrl url = openEvent->url();
        if (url.isLocalFile())
            openFiles({url.toLocalFile()}, QDir::currentPath());
        else
            openURLs({url});
        return true;
    }
    return QObject::eventFilter(watched, event);
}
#endif

} // namespace pressel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenRequest.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace pressel {

namespace {

constexpr QByteArrayView marker("pressel-open-request", sizeof "pressel-open-request");

// A scheme of two letters or more and a colon, and no file of that name: "file:///a.jpg" is a
// URI, a file literally named "notes:1.png" in the working directory stays a path.
bool isURI(const QString &argument, const QString &workingDirectory)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(argument).hasMatch() && !QFileInfo::exists(QDir(workingDirectory).absoluteFilePath(argument));
}

} // namespace

QList<QUrl> OpenRequest::urls() const
{
    QList<QUrl> urls;
    urls.reserve(arguments.size());
    for (const QString &argument : arguments) {
        urls.append(isURI(argument, workingDirectory)
                        ? QUrl(argument, QUrl::StrictMode)
                        : QUrl::fromLocalFile(QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(argument))));
    }
    return urls;
}

QByteArray OpenRequest::encode() const
{
    QByteArray message = marker.toByteArray();
    message += workingDirectory.toUtf8();
    message += '\0';
    for (const QString &argument : arguments) {
        message += argument.toUtf8();
        message += '\0';
    }
    return message;
}

std::optional<OpenRequest> OpenRequest::decode(const QByteArray &message)
{
    if (message.size() <= marker.size() || !message.startsWith(marker) || !message.endsWith('\0'))
        return std::nullopt;
    QList<QByteArray> fields = message.sliced(marker.size()).split('\0');
    fields.removeLast(); // after the last NUL
    // Relative paths are read against the folder, so it must name one on its own.
    const QString workingDirectory = QString::fromUtf8(fields.takeFirst());
    if (!QDir::isAbsolutePath(workingDirectory))
        return std::nullopt;
    OpenRequest request{{}, workingDirectory};
    request.arguments.reserve(fields.size());
    for (const QByteArray &field : std::as_const(fields))
        request.arguments.append(QString::fromUtf8(field));
    return request;
}

} // namespace pressel

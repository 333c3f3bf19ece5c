// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenRequest.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace pressel {

namespace {
constexpr QLatin1StringView argumentsKey("arguments");
constexpr QLatin1StringView workingDirectoryKey("workingDirectory");

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
    const QJsonObject object{
        {argumentsKey, QJsonArray::fromStringList(arguments)},
        {workingDirectoryKey, workingDirectory},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<OpenRequest> OpenRequest::decode(const QByteArray &message)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue arguments = object.value(argumentsKey);
    const QJsonValue workingDirectory = object.value(workingDirectoryKey);
    if (!arguments.isArray() || !workingDirectory.isString())
        return std::nullopt;
    // Relative paths are read against it, so it must name a folder on its own.
    if (!QDir::isAbsolutePath(workingDirectory.toString()))
        return std::nullopt;

    OpenRequest request;
    request.workingDirectory = workingDirectory.toString();
    for (const QJsonValue &argument : arguments.toArray()) {
        if (!argument.isString())
            return std::nullopt;
        request.arguments.append(argument.toString());
    }
    return request;
}

} // namespace pressel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "EarlierOutputs.h"

#include "OutputFiles.h"
#include "SourceFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <sys/stat.h>
#include <sys/xattr.h>

namespace pressel {

const char *const EarlierOutputs::attributeName = "user.pressel.source";

namespace {

// "x-12.jpg": the base "x" of a numbered output name.
const QRegularExpression &numberedName()
{
    static const QRegularExpression pattern(QStringLiteral("^(.+)-[0-9]+\\.[^.]+$"));
    return pattern;
}

QJsonObject record(const QString &sourceName, const struct stat &status, const QString &settings)
{
    const QString modified =
        QString::number(qint64(status.st_mtim.tv_sec)) + u'.' + QString::number(qint64(status.st_mtim.tv_nsec));
    QJsonObject object;
    object.insert(QStringLiteral("source"), sourceName);
    object.insert(QStringLiteral("size"), QString::number(qint64(status.st_size)));
    object.insert(QStringLiteral("modified"), modified);
    object.insert(QStringLiteral("settings"), settings);
    return object;
}

// The record on a file, never through a link; empty without one.
QJsonObject recordOf(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    char value[4096];
    const ssize_t length = ::lgetxattr(name.constData(), EarlierOutputs::attributeName, value, sizeof value);
    if (length <= 0)
        return {};
    return QJsonDocument::fromJson(QByteArray(value, length)).object();
}

} // namespace

EarlierOutputs::EarlierOutputs(const CompressionSettings &settings) : m_settings(settings.fingerprint()) {}

const EarlierOutputs::Folder &EarlierOutputs::folder(const QString &path)
{
    if (const auto known = m_folders.constFind(path); known != m_folders.constEnd())
        return *known;
    Folder folder;
    for (const QString &entry : QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        folder.baseNames.insert(baseName(entry).toCaseFolded());
        if (const QRegularExpressionMatch match = numberedName().match(entry); match.hasMatch())
            folder.numberedByBase[match.captured(1).toCaseFolded()].append(entry);
    }
    return *m_folders.insert(path, std::move(folder));
}

EarlierOutputs::Finding EarlierOutputs::find(const QUrl &file)
{
    const QString path = file.toLocalFile();
    const QFileInfo info(path);
    if (isMarked(file))
        return Finding::earlierOutput;
    const Folder &entries = folder(info.absolutePath());
    if (const QRegularExpressionMatch match = numberedName().match(info.fileName());
        match.hasMatch() && entries.baseNames.contains(match.captured(1).toCaseFolded()))
        return Finding::earlierOutput;

    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return Finding::none;
    const QJsonObject wanted = record(info.fileName(), status, m_settings);
    const QDir directory(info.absolutePath());
    for (const QString &candidate : entries.numberedByBase.value(baseName(info.fileName()).toCaseFolded())) {
        if (recordOf(directory.filePath(candidate)) == wanted)
            return Finding::alreadyCompressed;
    }
    return Finding::none;
}

bool EarlierOutputs::isMarked(const QUrl &file)
{
    return !recordOf(file.toLocalFile()).isEmpty();
}

void EarlierOutputs::mark(int outputDescriptor, const SourceFile &source, const CompressionSettings &settings)
{
    const QByteArray value =
        QJsonDocument(record(QFileInfo(source.url().toLocalFile()).fileName(), source.status(), settings.fingerprint()))
            .toJson(QJsonDocument::Compact);
    // Unmarked, the output is still known by its name.
    ::fsetxattr(outputDescriptor, attributeName, value.constData(), size_t(value.size()), 0);
}

} // namespace pressel

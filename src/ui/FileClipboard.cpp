// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace pressel {

namespace {

const QString gnomeFormat = QStringLiteral("x-special/gnome-copied-files");

// Text copied from a terminal or an editor: files when every line is an absolute path or a file
// URI, nothing otherwise, so that a pasted sentence never turns into a batch.
QList<QUrl> pathsInText(const QString &text)
{
    QList<QUrl> files;
    for (const QString &line : text.split(u'\n')) {
        const QString name = line.trimmed();
        if (name.isEmpty())
            continue;
        if (name.startsWith(u'/'))
            files.append(QUrl::fromLocalFile(name));
        else if (const QUrl url(name, QUrl::StrictMode); url.isLocalFile())
            files.append(url);
        else
            return {};
    }
    return files;
}

} // namespace

QList<QUrl> FileClipboard::fileURLs() const
{
    return fileURLs(QGuiApplication::clipboard()->mimeData());
}

QList<QUrl> FileClipboard::fileURLs(const QMimeData *data)
{
    if (!data)
        return {};
    QList<QUrl> candidates;
    if (data->hasUrls()) {
        candidates = data->urls();
    } else if (const QByteArray gnome = data->data(gnomeFormat); !gnome.isEmpty()) {
        const QList<QByteArray> lines = gnome.split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (const QByteArray line = lines.at(i).trimmed(); !line.isEmpty())
                candidates.append(QUrl::fromEncoded(line));
        }
    } else if (data->hasText()) {
        candidates = pathsInText(data->text());
    }
    QList<QUrl> files;
    for (const QUrl &url : std::as_const(candidates)) {
        if (url.isLocalFile())
            files.append(url);
    }
    return files;
}

void FileClipboard::copy(const QList<QUrl> &files) const
{
    if (files.isEmpty())
        return;
    auto *data = new QMimeData;
    data->setUrls(files);
    QByteArray gnome("copy");
    for (const QUrl &file : files)
        gnome += '\n' + file.toEncoded();
    data->setData(gnomeFormat, gnome);
    QGuiApplication::clipboard()->setMimeData(data);
}

QString FileClipboard::uriList(const QList<QUrl> &files) const
{
    QString list;
    for (const QUrl &file : files)
        list += QString::fromLatin1(file.toEncoded()) + QStringLiteral("\r\n");
    return list;
}

} // namespace pressel

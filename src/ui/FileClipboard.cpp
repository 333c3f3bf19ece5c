// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace pressel {

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
    } else if (const QByteArray gnome = data->data(QStringLiteral("x-special/gnome-copied-files")); !gnome.isEmpty()) {
        const QList<QByteArray> lines = gnome.split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (const QByteArray line = lines.at(i).trimmed(); !line.isEmpty())
                candidates.append(QUrl::fromEncoded(line));
        }
    }
    QList<QUrl> files;
    for (const QUrl &url : std::as_const(candidates)) {
        if (url.isLocalFile())
            files.append(url);
    }
    return files;
}

} // namespace pressel

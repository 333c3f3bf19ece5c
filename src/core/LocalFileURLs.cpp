// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocalFileURLs.h"

namespace pressel {

QList<QUrl> localFileURLs(const QList<QUrl> &urls)
{
    QList<QUrl> fileURLs;
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            fileURLs.append(url);
    }
    return fileURLs;
}

QString joinedLocalPaths(const QList<QUrl> &fileURLs)
{
    QStringList paths;
    for (const QUrl &url : fileURLs)
        paths.append(url.toLocalFile());
    return paths.join(QStringLiteral(", "));
}

} // namespace pressel

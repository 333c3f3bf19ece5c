// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

namespace pressel {

// The local files among what a drop or an open request carries, in their order; other schemes
// are passed over.
QList<QUrl> localFileURLs(const QList<QUrl> &urls);

// Their paths as log lines list them.
QString joinedLocalPaths(const QList<QUrl> &fileURLs);

} // namespace pressel

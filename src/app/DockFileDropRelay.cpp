// SPDX-License-Identifier: GPL-3.0-or-later
#include "DockFileDropRelay.h"

#include "LocalFileURLs.h"
#include "Logging.h"

namespace pressel {

DockFileDropRelay &DockFileDropRelay::shared()
{
    // Made once and never destroyed: files may arrive at any time until the process ends.
    static DockFileDropRelay *const instance = new DockFileDropRelay;
    return *instance;
}

void DockFileDropRelay::enqueue(const QList<QUrl> &urls)
{
    const QList<QUrl> fileURLs = localFileURLs(urls);
    if (fileURLs.isEmpty())
        return;

    // A delivery replaces the one before: files nobody took are dropped.
    setPendingURLs(fileURLs);
    ++m_deliveryToken;
    emit deliveryTokenChanged();
    qCInfo(lcDockDrop).noquote() << QStringLiteral("enqueue %1 file(s): %2")
                                        .arg(QString::number(fileURLs.size()), joinedLocalPaths(fileURLs));
    emit didEnqueue(this);
    activateApplication();
}

void DockFileDropRelay::activateApplication()
{
    if (m_activate)
        m_activate();
}

QList<QUrl> DockFileDropRelay::consumePendingURLs()
{
    const QList<QUrl> pending = m_pendingURLs;
    setPendingURLs({});
    if (!pending.isEmpty())
        qCInfo(lcDockDrop).noquote() << QStringLiteral("consumePendingURLs -> %1 file(s)").arg(pending.size());
    return pending;
}

void DockFileDropRelay::setPendingURLs(const QList<QUrl> &urls)
{
    if (m_pendingURLs == urls)
        return;
    m_pendingURLs = urls;
    emit pendingURLsChanged();
}

} // namespace pressel

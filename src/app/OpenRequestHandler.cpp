// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenRequestHandler.h"

#include "CompressionViewModel.h"
#include "Logging.h"

#include <QTimer>
#include <QWindow>

namespace pressel {

OpenRequestHandler::OpenRequestHandler(CompressionViewModel &viewModel, QObject *parent)
    : QObject(parent)
    , m_viewModel(viewModel)
{}

void OpenRequestHandler::setWindow(QWindow *window)
{
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    if (!window)
        return;
    connect(window, &QWindow::visibilityChanged, this, &OpenRequestHandler::scheduleDelivery);
    scheduleDelivery();
}

void OpenRequestHandler::open(const OpenRequest &request)
{
    activateWindow();
    const QList<QUrl> urls = request.urls();
    for (const QUrl &url : urls) {
        if (!m_pendingSet.contains(url)) {
            m_pendingSet.insert(url);
            m_pending.append(url);
        }
    }
    scheduleDelivery();
}

void OpenRequestHandler::openMessage(const QByteArray &message)
{
    const auto request = OpenRequest::decode(message);
    if (!request) {
        qCCritical(lcOpenRequest).noquote()
            << QStringLiteral("Dropped a malformed open request of %1 byte(s)").arg(message.size());
        return;
    }
    open(*request);
}

void OpenRequestHandler::activateWindow()
{
    if (!m_window)
        return;
    m_window->setWindowStates(m_window->windowStates() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->requestActivate();
}

bool OpenRequestHandler::windowIsInView() const
{
    return m_window && m_window->isVisible() && m_window->visibility() != QWindow::Minimized;
}

// The files go over once the event loop turns, so that requests handed over together (and the
// launch's own, which comes before the window) join as one batch.
void OpenRequestHandler::scheduleDelivery()
{
    if (m_pending.isEmpty() || m_deliveryScheduled)
        return;
    m_deliveryScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_deliveryScheduled = false;
        if (m_pending.isEmpty() || !windowIsInView())
            return;
        m_pendingSet.clear();
        m_viewModel.openFiles(std::exchange(m_pending, {}));
    });
}

} // namespace pressel

#include "WindowEffects.h"

#include <QGuiApplication>

using namespace std::chrono_literals;

WindowEffects::WindowEffects(QObject *parent)
    : WindowEffects(WindowEffectsBackend::forPlatform(QGuiApplication::platformName()), parent)
{}

WindowEffects::WindowEffects(std::unique_ptr<WindowEffectsBackend> backend, QObject *parent)
    : QObject(parent)
    , m_backend(std::move(backend))
    , m_compositing(m_backend->isCompositing())
{
    m_refreshTimer.setInterval(2s);
    connect(&m_refreshTimer, &QTimer::timeout, this, &WindowEffects::refresh);
    m_refreshTimer.start();
}

WindowEffects::~WindowEffects() = default;

void WindowEffects::setBackdrop(QWindow *window, const QRect &frame, int cornerRadius) const
{
    m_backend->setBackdrop(window, frame, cornerRadius);
}

void WindowEffects::refresh()
{
    const bool compositing = m_backend->isCompositing();
    if (compositing == m_compositing)
        return;
    m_compositing = compositing;
    emit compositingChanged();
}

#pragma once

#include "WindowEffectsBackend.h"

#include <QObject>
#include <QRect>
#include <QTimer>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

#include <memory>

// The window chrome's view of the desktop, for QML: whether the translucent look can be shown,
// and the hints that place the shadow and the blur. A compositor can start or stop while the
// window is open, so the answer is looked at again now and then.
class WindowEffects : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool compositing READ compositing NOTIFY compositingChanged FINAL)

public:
    // The backend of the running platform plugin.
    explicit WindowEffects(QObject *parent = nullptr);
    explicit WindowEffects(std::unique_ptr<WindowEffectsBackend> backend, QObject *parent = nullptr);
    ~WindowEffects() override;

    bool compositing() const { return m_compositing; }

    Q_INVOKABLE void setBackdrop(QWindow *window, const QRect &frame, int cornerRadius) const;

signals:
    void compositingChanged();

private:
    void refresh();

    std::unique_ptr<WindowEffectsBackend> m_backend;
    QTimer m_refreshTimer;
    bool m_compositing = false;
};

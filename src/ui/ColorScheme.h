// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace pressel {

// Whether the window is drawn light or dark, following the desktop. PRESSEL_COLOR_SCHEME=light
// or dark decides outright; otherwise the desktop portal's appearance setting decides, followed
// while the application runs; where no portal answers or it states no preference, the lightness
// of the platform palette's window colour does.
class ColorScheme : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ isDark NOTIFY darkChanged)

public:
    // The session bus, when the session names one: a bus is never launched for this.
    explicit ColorScheme(QObject *parent = nullptr);
    // For tests: the given connection stands for the session bus.
    explicit ColorScheme(const QDBusConnection &connection, QObject *parent = nullptr);

    bool isDark() const { return m_dark; }

signals:
    void darkChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void portalSettingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void followPortal();
    void takePortalValue(const QVariant &value);
    void update();

    QDBusConnection m_connection;
    std::optional<bool> m_override;   // from the environment
    std::optional<bool> m_portalDark; // unset while the portal states no preference
    bool m_dark = true;
};

} // namespace pressel

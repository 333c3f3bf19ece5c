// SPDX-License-Identifier: GPL-3.0-or-later
#include "ColorScheme.h"

#include "SessionBus.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

namespace pressel {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

std::optional<bool> overrideFromEnvironment()
{
    const QString wanted = qEnvironmentVariable("PRESSEL_COLOR_SCHEME").trimmed().toLower();
    if (wanted == u"dark")
        return true;
    if (wanted == u"light")
        return false;
    return std::nullopt;
}

// The portal wraps the setting's value in one variant more than it declares (Read's "v" holds
// a variant); either way the innermost value counts.
QVariant unwrapped(QVariant value)
{
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        QDBusVariant inner;
        value.value<QDBusArgument>() >> inner;
        return unwrapped(inner.variant());
    }
    return value;
}

} // namespace

ColorScheme::ColorScheme(QObject *parent)
    : ColorScheme(SessionBus::connection(), parent)
{}

ColorScheme::ColorScheme(const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
    , m_override(overrideFromEnvironment())
{
    update();
    if (m_override)
        return;
    if (qApp)
        qApp->installEventFilter(this);
    followPortal();
}

void ColorScheme::followPortal()
{
    if (!m_connection.isConnected())
        return;
    // QtDBus finds the slot by its parameters' type names, known only once registered.
    qRegisterMetaType<QDBusVariant>();
    if (!m_connection.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                              SLOT(portalSettingChanged(QString, QString, QDBusVariant))))
        qWarning("Cannot follow the desktop portal's colour scheme: %s",
                 qPrintable(m_connection.lastError().message()));
    QDBusMessage read =
        QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, QStringLiteral("Read"));
    read << appearanceGroup << colorSchemeKey;
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        // No portal, or one without the setting: the palette decides.
        if (!reply.isError())
            takePortalValue(reply.value().variant());
    });
}

void ColorScheme::portalSettingChanged(const QString &group, const QString &key, const QDBusVariant &value)
{
    if (group == appearanceGroup && key == colorSchemeKey)
        takePortalValue(value.variant());
}

// 1 prefers dark, 2 prefers light, 0 (or anything else) states no preference.
void ColorScheme::takePortalValue(const QVariant &value)
{
    bool ok = false;
    const uint scheme = unwrapped(value).toUInt(&ok);
    if (ok && scheme == 1)
        m_portalDark = true;
    else if (ok && scheme == 2)
        m_portalDark = false;
    else
        m_portalDark.reset();
    update();
}

bool ColorScheme::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        update();
    return QObject::eventFilter(watched, event);
}

void ColorScheme::update()
{
    bool dark = true;
    if (m_override)
        dark = *m_override;
    else if (m_portalDark)
        dark = *m_portalDark;
    else if (qobject_cast<QGuiApplication *>(qApp))
        dark = QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
    if (dark == m_dark)
        return;
    m_dark = dark;
    emit darkChanged();
}

} // namespace pressel

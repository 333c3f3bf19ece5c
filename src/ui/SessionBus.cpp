// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionBus.h"

#include <QDir>
#include <QFileInfo>

namespace pressel {

namespace {

// libdbus knows no transport of this name, so it fails without trying anything else.
constexpr char noBusAddress[] = "disabled:";

} // namespace

bool SessionBus::exists()
{
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address != noBusAddress;
    const QString runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtimeFolder.isEmpty() && QFileInfo(QDir(runtimeFolder).filePath(QStringLiteral("bus"))).exists();
}

void SessionBus::preventAutolaunch()
{
    if (!exists())
        qputenv("DBUS_SESSION_BUS_ADDRESS", noBusAddress);
}

QDBusConnection SessionBus::connection()
{
    return exists() ? QDBusConnection::sessionBus() : QDBusConnection(QStringLiteral("no session bus"));
}

} // namespace pressel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>

namespace pressel {

// The D-Bus session bus as this process may use it. libdbus looks for the bus in
// DBUS_SESSION_BUS_ADDRESS and then in the per-user socket of the runtime folder; when it finds
// neither, the first library that asks for the bus (Qt's accessibility bridge does, as a window
// opens) makes it autolaunch a dbus-daemon that outlives the application.
namespace SessionBus {

// Whether a session bus can be reached without launching one.
bool exists();

// Where none exists, points libdbus at an address that names no bus, so every request for the
// session bus fails at once instead of launching a daemon. Call before the application object.
void preventAutolaunch();

// The session bus where one exists; elsewhere a connection that is not connected, so callers
// fall back at once.
QDBusConnection connection();

} // namespace SessionBus

} // namespace pressel

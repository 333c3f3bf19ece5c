// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace pressel {

// The language texts are shown in. The first of the user's preferred UI languages decides:
// Chinese, and the C/POSIX locale, show the source texts; any other language shows its own
// translation where one is built in, English otherwise.
namespace Translation {

// The built-in translation file for these preferred languages, or empty for the source texts.
QString fileFor(const QStringList &uiLanguages);

// Installs, for the whole process, the translation the system's preferred languages ask for,
// and Qt's own for the texts of its dialogs in the same language (Debian's
// qt6-translations-l10n), where there is one.
void install();

} // namespace Translation

} // namespace pressel

// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A count of pixels or kilobytes, in digits as the rows and the command line write them: no
// grouping by the locale ("1920", not "1,920"), and room for seven of them.
SpinBox {
    Layout.preferredWidth: Theme.countFieldWidth
    Layout.preferredHeight: Theme.controlSize
    editable: true
    textFromValue: (count, locale) => String(count)
    valueFromText: (text, locale) => {
        const count = parseInt(text.replace(/[^0-9]/g, ""), 10)
        return isNaN(count) ? value : count
    }
}

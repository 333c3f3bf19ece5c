// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// Text in the window's typeface and primary colour; views set size, weight and colour.
Text {
    font.family: Theme.fontFamily
    font.pixelSize: Theme.textSize
    color: Theme.primaryText
    textFormat: Text.PlainText
    renderType: Text.NativeRendering
}

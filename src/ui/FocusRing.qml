// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// Where the keyboard focus is: an accent outline just outside its parent's edge, shown while
// `shown` holds (a control's visualFocus, so a click never leaves it behind).
Rectangle {
    property bool shown
    property real gap: Theme.spacing2XS

    anchors.fill: parent
    anchors.margins: -(gap + border.width)
    radius: parent.radius !== undefined ? parent.radius + gap + border.width : gap + border.width
    color: "transparent"
    border.width: Theme.focusLineWidth
    border.color: Theme.accent
    visible: shown
}

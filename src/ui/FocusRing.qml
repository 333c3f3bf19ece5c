// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// Where the keyboard focus is: an accent outline just outside its parent's edge, shown while
// `shown` holds (a control's visualFocus, so a click never leaves it behind).
Rectangle {
    property bool shown
    property real gap: 2

    anchors.fill: parent
    anchors.margins: -(gap + border.width)
    radius: parent.radius !== undefined ? parent.radius + gap + border.width : gap + border.width
    color: "transparent"
    border.width: 2
    border.color: Theme.accent
    visible: shown
}

// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// A capsule with white bold text on the status colour.
Rectangle {
    id: badge

    property alias text: label.text

    implicitWidth: label.implicitWidth + 2 * Theme.spacingL
    implicitHeight: label.implicitHeight + Theme.spacingXL
    radius: height / 2

    StyledText {
        id: label
        anchors.centerIn: parent
        font.pixelSize: Theme.badgeTextSize
        font.bold: true
        color: "white"
    }
}

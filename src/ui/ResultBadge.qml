// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// A capsule with white bold text on the status colour.
Rectangle {
    id: badge

    property alias text: label.text

    implicitWidth: label.implicitWidth + 24
    implicitHeight: label.implicitHeight + 14
    radius: height / 2

    StyledText {
        id: label
        anchors.centerIn: parent
        font.pixelSize: 15
        font.bold: true
        color: "white"
    }
}

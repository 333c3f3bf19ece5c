// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import Pressel

// The gear that opens the settings panel, in the header and in the drop zone.
Button {
    id: button

    implicitWidth: Theme.controlSize
    implicitHeight: Theme.controlSize
    flat: true
    padding: 0
    display: AbstractButton.IconOnly
    text: qsTr("设置")
    icon.source: "icons/gearshape.svg"
    icon.width: Theme.iconSize
    icon.height: Theme.iconSize
    icon.color: Theme.primaryText
    opacity: pressed ? 0.55 : 1
    focusPolicy: Qt.StrongFocus
    background: Rectangle {
        radius: width / 2
        color: button.hovered ? Theme.hoverFill : "transparent"

        FocusRing {
            shown: button.visualFocus
        }
    }
    Accessible.name: text
    ToolTip.visible: hovered
    ToolTip.delay: Theme.tooltipDelay
    ToolTip.text: text
}

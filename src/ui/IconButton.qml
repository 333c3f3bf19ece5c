// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic

// A round button that shows only its icon. Its text is its accessible name and tooltip; Tab
// reaches it, Space and Enter press it, and the focus ring shows when the keyboard put it there.
Button {
    id: button

    property real iconSize: Theme.iconSize
    property real cornerRadius: width / 2

    implicitWidth: Theme.controlSize
    implicitHeight: Theme.controlSize
    flat: true
    padding: 0
    focusPolicy: Qt.StrongFocus
    display: AbstractButton.IconOnly
    icon.width: iconSize
    icon.height: iconSize
    icon.color: Theme.primaryText
    opacity: pressed ? 0.55 : 1
    background: Rectangle {
        radius: button.cornerRadius
        color: button.hovered || button.visualFocus ? Theme.subtleFill : "transparent"

        FocusRing {
            shown: button.visualFocus
        }
    }
    Accessible.role: Accessible.Button
    Accessible.name: text
    ToolTip.visible: hovered || visualFocus
    ToolTip.delay: Theme.tooltipDelay
    ToolTip.text: text
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}

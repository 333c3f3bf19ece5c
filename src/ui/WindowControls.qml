import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Window

// Minimise, maximise (or restore) and close, for a window without a title bar: small round
// buttons in the top right corner, their symbols shown while the pointer is over the group.
Row {
    id: controls

    required property Window window

    readonly property bool maximized: window.visibility === Window.Maximized
                                      || window.visibility === Window.FullScreen
    readonly property bool showsSymbols: hover.hovered

    spacing: 0

    HoverHandler {
        id: hover
    }

    component WindowButton: AbstractButton {
        id: button

        property color tint
        property string symbol
        property bool windowActive
        property bool showsSymbol

        implicitWidth: 20
        implicitHeight: 18
        focusPolicy: Qt.NoFocus
        hoverEnabled: true
        Accessible.name: text
        ToolTip.visible: hovered
        ToolTip.delay: 800
        ToolTip.text: text

        background: null
        contentItem: Item {
            Rectangle {
                anchors.centerIn: parent
                width: 12
                height: 12
                radius: 6
                color: button.windowActive ? button.tint : Qt.rgba(1, 1, 1, 0.22)
                border.width: 1
                border.color: Qt.rgba(0, 0, 0, 0.18)
                opacity: button.pressed ? 0.7 : 1

                Item {
                    anchors.fill: parent
                    visible: button.showsSymbol

                    // Close: a small cross.
                    Repeater {
                        model: button.symbol === "close" ? [45, -45] : []
                        Rectangle {
                            required property var modelData
                            anchors.centerIn: parent
                            width: 7
                            height: 1.5
                            radius: 0.8
                            antialiasing: true
                            color: Qt.rgba(0, 0, 0, 0.62)
                            rotation: modelData
                        }
                    }
                    // Minimise: a bar.
                    Rectangle {
                        visible: button.symbol === "minimize"
                        anchors.centerIn: parent
                        width: 7
                        height: 1.5
                        radius: 0.75
                        color: Qt.rgba(0, 0, 0, 0.62)
                    }
                    // Maximise: a square; restore: a smaller one.
                    Rectangle {
                        visible: button.symbol === "maximize" || button.symbol === "restore"
                        anchors.centerIn: parent
                        width: button.symbol === "maximize" ? 6 : 4
                        height: width
                        radius: 1
                        color: "transparent"
                        border.width: 1.3
                        border.color: Qt.rgba(0, 0, 0, 0.62)
                    }
                }
            }
        }
    }

    WindowButton {
        objectName: "minimizeButton"
        windowActive: controls.window.active
        showsSymbol: controls.showsSymbols
        text: qsTr("最小化")
        tint: "#febc2e"
        symbol: "minimize"
        onClicked: controls.window.showMinimized()
    }

    WindowButton {
        objectName: "maximizeButton"
        windowActive: controls.window.active
        showsSymbol: controls.showsSymbols
        text: controls.maximized ? qsTr("还原") : qsTr("最大化")
        tint: "#28c840"
        symbol: controls.maximized ? "restore" : "maximize"
        onClicked: controls.maximized ? controls.window.showNormal() : controls.window.showMaximized()
    }

    WindowButton {
        objectName: "closeButton"
        windowActive: controls.window.active
        showsSymbol: controls.showsSymbols
        text: qsTr("关闭")
        tint: "#ff5f57"
        symbol: "close"
        onClicked: controls.window.close()
    }
}

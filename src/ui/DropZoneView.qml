// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic

// The empty window's invitation to drop images, or to choose them. The whole window takes the
// drop; this panel only shows, through isTargeted, whether a drag is hovering.
Item {
    id: zone

    property bool isTargeted: false

    signal chooseFilesRequested()
    signal chooseFoldersRequested()

    readonly property color fillColor: isTargeted ? Theme.withAlpha(Theme.accent, 0.12)
                                                  : Theme.withAlpha(Theme.subtleFill, 0.35)
    readonly property color borderColor: isTargeted ? Theme.accent : Theme.withAlpha(Theme.secondaryText, 0.5)
    readonly property int cornerRadius: Theme.dropZoneRadius
    readonly property real borderWidth: Theme.focusLineWidth
    readonly property real dashLength: Theme.spacingM

    implicitWidth: content.implicitWidth + 2 * Theme.spacing6XL
    implicitHeight: content.implicitHeight + 2 * Theme.spacing6XL

    Rectangle {
        id: fill
        objectName: "dropZoneFill"
        anchors.fill: parent
        radius: zone.cornerRadius
        color: zone.fillColor

        Behavior on color {
            ColorAnimation { duration: Theme.dropZoneAnimationDuration; easing.type: Easing.InOutQuad }
        }
    }

    Canvas {
        id: dashedBorder
        objectName: "dropZoneBorder"

        property color strokeColor: zone.borderColor

        anchors.fill: parent
        onStrokeColorChanged: requestPaint()
        onWidthChanged: requestPaint()
        onHeightChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            ctx.lineWidth = zone.borderWidth
            ctx.lineCap = "butt"
            ctx.lineJoin = "miter"
            ctx.miterLimit = 10
            ctx.strokeStyle = strokeColor
            // Qt's canvas counts dashes in line widths, not in pixels.
            ctx.setLineDash([zone.dashLength / zone.borderWidth, zone.dashLength / zone.borderWidth])
            ctx.lineDashOffset = 0
            // Stroked inside the outline: the path runs half a line width in from the edge.
            const inset = zone.borderWidth / 2
            ctx.beginPath()
            ctx.roundedRect(inset, inset, width - 2 * inset, height - 2 * inset,
                            zone.cornerRadius - inset, zone.cornerRadius - inset)
            ctx.stroke()
        }

        Behavior on strokeColor {
            ColorAnimation { duration: Theme.dropZoneAnimationDuration; easing.type: Easing.InOutQuad }
        }
    }

    Column {
        id: content
        anchors.centerIn: parent
        width: Math.min(implicitContentWidth, zone.width - 2 * Theme.spacing6XL)
        spacing: Theme.spacing2XL
        readonly property real implicitContentWidth: Math.max(title.implicitWidth, formats.implicitWidth,
                                                              destination.implicitWidth)

        Image {
            objectName: "orangeArtwork"
            anchors.horizontalCenter: parent.horizontalCenter
            width: Theme.dropArtworkSize
            height: Theme.dropArtworkSize
            source: "artwork/orange.svg"
            sourceSize.width: 2 * width
            sourceSize.height: 2 * height
            fillMode: Image.Stretch
            smooth: true
            mipmap: true
        }

        StyledText {
            id: title
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: qsTr("拖拽图片到这里")
            font.pixelSize: Theme.displaySize
            font.bold: true
        }

        StyledText {
            id: formats
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: qsTr("支持批量压缩，按原格式输出（当前支持 JPEG、PNG）")
            font.pixelSize: Theme.headingSize
            color: Theme.secondaryText
        }

        StyledText {
            id: destination
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: qsTr("输出文件会保存在原图所在目录")
            font.pixelSize: Theme.captionSize
            color: Theme.secondaryText
        }

        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: Theme.spacingL

            Button {
                id: chooseButton
                objectName: "chooseFilesButton"
                focusPolicy: Qt.StrongFocus
                leftPadding: Theme.spacing3XL
                rightPadding: Theme.spacing3XL
                topPadding: Theme.spacingM
                bottomPadding: Theme.spacingM
                text: qsTr("选择图片…")
                contentItem: StyledText {
                    text: chooseButton.text
                    font.pixelSize: Theme.textSize
                    color: "white"
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    implicitHeight: Theme.largeControlSize
                    radius: height / 2
                    color: chooseButton.pressed ? Qt.darker(Theme.accent, 1.2)
                                                : chooseButton.hovered ? Qt.lighter(Theme.accent, 1.1) : Theme.accent

                    FocusRing {
                        shown: chooseButton.visualFocus
                    }
                }
                Accessible.name: text
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
                onClicked: zone.chooseFilesRequested()
            }

            Button {
                id: folderButton
                objectName: "chooseFoldersButton"
                focusPolicy: Qt.StrongFocus
                leftPadding: Theme.spacing3XL
                rightPadding: Theme.spacing3XL
                topPadding: Theme.spacingM
                bottomPadding: Theme.spacingM
                text: qsTr("选择文件夹…")
                contentItem: StyledText {
                    text: folderButton.text
                    font.pixelSize: Theme.textSize
                    color: Theme.accent
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    implicitHeight: Theme.largeControlSize
                    radius: height / 2
                    color: folderButton.pressed ? Theme.subtleFill : folderButton.hovered ? Theme.hoverFill : "transparent"
                    border.width: Theme.hairline
                    border.color: Theme.accent

                    FocusRing {
                        shown: folderButton.visualFocus
                    }
                }
                Accessible.name: text
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
                onClicked: zone.chooseFoldersRequested()
            }
        }
    }
}

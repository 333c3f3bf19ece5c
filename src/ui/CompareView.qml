// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Pressel

// Before and after on one picture: the source left of a divider, the output right of it, drawn
// at the same place and size under one zoom and pan. The divider follows a drag of its handle, and
// keys 1 (the source), 2 (both) and 3 (the output); the wheel zooms around the pointer, Ctrl+0
// fits, Ctrl+1 shows one image pixel per device pixel, + and - step; a drag of the picture with
// the left or middle button pans, and so do the arrow keys. Escape or the back button closes it.
FocusScope {
    id: view

    required property url sourceURL
    required property url outputURL
    required property string fileName
    required property double originalBytes
    required property double compressedBytes

    signal closed()

    // Where the divider stands across the visible part of the picture, 0 (all output) to 1
    // (all source); kept as the window resizes.
    property real dividerFraction: 0.5
    // Logical pixels per image pixel, and the picture's top-left corner in the viewport.
    property real pictureScale: 1
    property real offsetX: 0
    property real offsetY: 0
    // Follows the window's size until the person zooms.
    property bool fitted: true

    readonly property real devicePixelRatio: Screen.devicePixelRatio
    readonly property size imageSize: uprightSize.size
    readonly property bool hasImage: imageSize.width > 0 && imageSize.height > 0
    readonly property real fitScale: hasImage ? Math.min(viewport.width / imageSize.width,
                                                         viewport.height / imageSize.height) : 1
    readonly property real minimumScale: Math.min(fitScale, 1 / devicePixelRatio)
    readonly property real maximumScale: 32 / devicePixelRatio
    // 1 is 100 %: one image pixel on one device pixel.
    readonly property real zoom: pictureScale * devicePixelRatio
    readonly property real pictureLeft: Math.max(0, offsetX)
    readonly property real pictureRight: Math.min(viewport.width, offsetX + imageSize.width * pictureScale)
    readonly property real pictureTop: Math.max(0, offsetY)
    readonly property real pictureBottom: Math.min(viewport.height, offsetY + imageSize.height * pictureScale)
    // Zoomed beyond the viewport, so that a drag or an arrow key moves the picture.
    readonly property bool pannable: imageSize.width * pictureScale > viewport.width + 0.5
                                     || imageSize.height * pictureScale > viewport.height + 0.5
    readonly property real dividerX: pictureLeft + dividerFraction * Math.max(0, pictureRight - pictureLeft)
    readonly property real savedFraction: originalBytes >= 1 ? 1 - compressedBytes / originalBytes : NaN

    function fit() {
        fitted = true
        pictureScale = fitScale
        clampOffsets()
    }

    // Scales around a point of the viewport, which stays over the same image pixel.
    function zoomTo(scale, pointX, pointY) {
        if (!hasImage)
            return
        const clamped = Math.max(minimumScale, Math.min(maximumScale, scale))
        const imageX = (pointX - offsetX) / pictureScale, imageY = (pointY - offsetY) / pictureScale
        fitted = false
        pictureScale = clamped
        offsetX = pointX - imageX * clamped
        offsetY = pointY - imageY * clamped
        clampOffsets()
    }

    function zoomBy(factor, pointX, pointY) {
        zoomTo(pictureScale * factor, pointX ?? viewport.width / 2, pointY ?? viewport.height / 2)
    }

    function panBy(dx, dy) {
        offsetX += dx
        offsetY += dy
        clampOffsets()
    }

    // A picture smaller than the viewport is centred; a larger one always covers it.
    function clampOffsets() {
        const w = imageSize.width * pictureScale, h = imageSize.height * pictureScale
        offsetX = w <= viewport.width ? (viewport.width - w) / 2 : Math.min(0, Math.max(viewport.width - w, offsetX))
        offsetY = h <= viewport.height ? (viewport.height - h) / 2
                                       : Math.min(0, Math.max(viewport.height - h, offsetY))
    }

    function setDividerAt(x) {
        const span = pictureRight - pictureLeft
        dividerFraction = span > 0 ? Math.max(0, Math.min(1, (x - pictureLeft) / span)) : 0.5
    }

    onFitScaleChanged: if (fitted) fit()

    Keys.onPressed: event => {
        const modifiers = event.modifiers & ~Qt.KeypadModifier
        const control = modifiers === Qt.ControlModifier
        if (event.key === Qt.Key_Escape)
            view.closed()
        else if (event.key === Qt.Key_1 && control)
            zoomTo(1 / devicePixelRatio, viewport.width / 2, viewport.height / 2)
        else if (event.key === Qt.Key_0 && control)
            fit()
        else if (event.key === Qt.Key_1 && modifiers === Qt.NoModifier)
            dividerFraction = 1
        else if (event.key === Qt.Key_2 && modifiers === Qt.NoModifier)
            dividerFraction = 0.5
        else if (event.key === Qt.Key_3 && modifiers === Qt.NoModifier)
            dividerFraction = 0
        // As a scroll bar would: Right shows more of the right-hand side.
        else if (event.key === Qt.Key_Left || event.key === Qt.Key_Right)
            panBy((event.key === Qt.Key_Left ? 1 : -1) * viewport.width / 10, 0)
        else if (event.key === Qt.Key_Up || event.key === Qt.Key_Down)
            panBy(0, (event.key === Qt.Key_Up ? 1 : -1) * viewport.height / 10)
        else if (event.key === Qt.Key_Plus || event.key === Qt.Key_Equal)
            zoomBy(1.25)
        else if (event.key === Qt.Key_Minus)
            zoomBy(1 / 1.25)
        else
            return
        event.accepted = true
    }

    UprightImageSize {
        id: uprightSize
        source: view.sourceURL
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.spacing2XL
        spacing: Theme.spacingL
        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.spacingL
            Button {
                id: backButton
                objectName: "backButton"
                text: qsTr("返回")
                flat: true
                focusPolicy: Qt.TabFocus
                contentItem: StyledText {
                    text: backButton.text
                    font.pixelSize: Theme.textSize
                    font.bold: true
                }
                background: Rectangle {
                    radius: Theme.controlRadius
                    color: backButton.hovered ? Theme.subtleFill : "transparent"
                    border.width: backButton.visualFocus ? Theme.focusLineWidth : 0
                    border.color: Theme.accent
                }
                Accessible.name: text
                onClicked: view.closed()
            }

            StyledText {
                objectName: "compareFileName"
                Layout.fillWidth: true
                text: view.fileName
                font.pixelSize: Theme.headingSize
                font.bold: true
                elide: Text.ElideMiddle
                horizontalAlignment: Text.AlignHCenter
            }

            StyledText {
                objectName: "zoomReadout"
                Layout.minimumWidth: Theme.zoomLabelWidth
                horizontalAlignment: Text.AlignRight
                text: PercentFormatter.stringFromFraction(view.zoom)
                font.pixelSize: Theme.captionSize
                color: Theme.secondaryText
            }
        }

        Rectangle {
            id: viewport
            objectName: "compareViewport"
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: Theme.subtleFill
            radius: Theme.viewportRadius
            clip: true

            onWidthChanged: if (!view.fitted) view.clampOffsets()
            onHeightChanged: if (!view.fitted) view.clampOffsets()

            // What shows through a picture's transparent pixels.
            Image {
                objectName: "checkerboard"
                x: view.pictureLeft
                y: view.pictureTop
                width: view.pictureRight - view.pictureLeft
                height: view.pictureBottom - view.pictureTop
                visible: view.hasImage
                source: "artwork/checkerboard.svg"
                sourceSize: Qt.size(2 * Theme.checkerSquare, 2 * Theme.checkerSquare)
                fillMode: Image.Tile
            }

            // The source, cut off at the divider.
            Item {
                objectName: "sourceSide"
                width: view.dividerX
                height: parent.height
                clip: true

                ComparisonPicture {
                    id: sourcePicture
                    objectName: "sourcePicture"
                    width: viewport.width
                    height: viewport.height
                    file: view.sourceURL
                    imageSize: view.imageSize
                    pictureScale: view.pictureScale
                    offsetX: view.offsetX
                    offsetY: view.offsetY
                    devicePixelRatio: view.devicePixelRatio
                }
            }

            // The output, from the divider on, drawn under the same transform.
            Item {
                objectName: "outputSide"
                x: view.dividerX
                width: parent.width - view.dividerX
                height: parent.height
                clip: true

                ComparisonPicture {
                    id: outputPicture
                    objectName: "outputPicture"
                    x: -view.dividerX
                    width: viewport.width
                    height: viewport.height
                    file: view.outputURL
                    imageSize: view.imageSize
                    pictureScale: view.pictureScale
                    offsetX: view.offsetX
                    offsetY: view.offsetY
                    devicePixelRatio: view.devicePixelRatio
                }
            }

            StyledText {
                objectName: "unreadableNote"
                anchors.centerIn: parent
                visible: uprightSize.status === UprightImageSize.Error || sourcePicture.failed || outputPicture.failed
                text: qsTr("无法读取这张图片")
                color: Theme.secondaryText
            }

            Rectangle {
                objectName: "divider"
                x: Math.round(view.dividerX - width / 2)
                width: Theme.focusLineWidth
                height: parent.height
                visible: view.hasImage
                color: Theme.primaryText

                Rectangle {
                    anchors.centerIn: parent
                    width: Theme.spacing5XL
                    height: width
                    radius: width / 2
                    color: Theme.primaryText
                    border.width: Theme.focusLineWidth
                    border.color: Theme.withAlpha(Theme.window, 0.6)
                }
            }

            MouseArea {
                id: pointer
                objectName: "comparePointer"
                anchors.fill: parent
                acceptedButtons: Qt.LeftButton | Qt.MiddleButton
                cursorShape: pressed && view.pannable ? Qt.ClosedHandCursor
                                                      : view.pannable ? Qt.OpenHandCursor : Qt.ArrowCursor

                property point last

                onPressed: mouse => {
                    view.forceActiveFocus()
                    last = Qt.point(mouse.x, mouse.y)
                }
                onPositionChanged: mouse => {
                    view.panBy(mouse.x - last.x, mouse.y - last.y)
                    last = Qt.point(mouse.x, mouse.y)
                }
                onWheel: wheel => {
                    const steps = wheel.angleDelta.y !== 0 ? wheel.angleDelta.y / 120 : wheel.pixelDelta.y / 60
                    view.zoomBy(Math.pow(1.25, steps), wheel.x, wheel.y)
                }
            }

            // The divider's handle: its line and knob, a little wider than drawn to be easy to
            // catch.
            MouseArea {
                objectName: "dividerHandle"
                x: Math.round(view.dividerX - width / 2)
                width: Theme.spacing5XL
                height: parent.height
                visible: view.hasImage
                cursorShape: Qt.SplitHCursor

                onPressed: view.forceActiveFocus()
                onPositionChanged: mouse => view.setDividerAt(mapToItem(viewport, mouse.x, 0).x)
            }

            component SideLabel: Rectangle {
                property alias text: label.text

                implicitWidth: label.implicitWidth + 2 * Theme.spacingML
                implicitHeight: label.implicitHeight + Theme.spacingML
                radius: height / 2
                color: Theme.withAlpha(Theme.window, 0.78)

                StyledText {
                    id: label
                    anchors.centerIn: parent
                    font.pixelSize: Theme.captionSize
                    font.weight: Font.Medium
                }
            }

            SideLabel {
                objectName: "sourceLabel"
                anchors.left: parent.left
                anchors.top: parent.top
                anchors.margins: Theme.spacingL
                text: qsTr("原图 · %1").arg(ByteCountFormatter.stringFromByteCount(view.originalBytes))
            }

            SideLabel {
                objectName: "outputLabel"
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.margins: Theme.spacingL
                // A change, not a share of the original: "−35%" saved, "+12%" for a larger output.
                text: qsTr("压缩后 · %1 · %2").arg(ByteCountFormatter.stringFromByteCount(view.compressedBytes))
                                            .arg((view.savedFraction < 0 ? "+" : "−")
                                                 + PercentFormatter.stringFromFraction(Math.abs(view.savedFraction)))
            }
        }

        StyledText {
            objectName: "compareHint"
            Layout.fillWidth: true
            text: qsTr("1 原图 · 2 对比 · 3 压缩后 · 拖动或方向键平移 · 滚轮或 +/- 缩放 · Ctrl+0 适合窗口 · Ctrl+1 100% · Esc 返回")
            font.pixelSize: Theme.smallTextSize
            color: Theme.secondaryText
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
        }
    }
}

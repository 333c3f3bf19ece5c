import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Pressel

// The whole content of the main window: the drop zone, the processing card or the result list,
// chosen from the batch controller's state. The entire window takes drops of files, and files
// opened from outside the window arrive here through the relay.
Item {
    id: root

    // The batch controller (CompressionViewModel) and the relay (DockFileDropRelay); anything
    // with the same properties, methods and signals will do, which is how the tests drive it.
    required property var viewModel
    property var dockFileDropRelay: DockFileDropRelay
    // The saved compression settings the panel edits; the tests hand in their own.
    property var settings: CompressionSettingsModel {}

    // Null-safe: while the window closes, the controller may go before the view.
    readonly property bool isProcessing: viewModel?.isProcessing ?? false
    readonly property bool hasResults: (viewModel?.results?.count ?? 0) > 0
    readonly property bool isDropTargeted: viewModel?.isDropTargeted ?? false
    readonly property string face: hasResults ? "results" : isProcessing ? "processing" : "dropZone"
    // The row shown in the before/after view: its sizes and files, copied when it was opened.
    property var comparedRow: null
    readonly property bool isComparing: comparedRow !== null && face === "results"
    // The compare action that opened the view, which has the focus again when it closes.
    property Item comparisonOrigin: null
    // "Comes into view": shown in a window that is itself shown and not minimised.
    readonly property bool isInView: visible && Window.window !== null && Window.window.visible
                                     && Window.window.visibility !== Window.Minimized

    function openComparison(row, origin) {
        comparedRow = {
            sourceURL: row.sourceURL,
            outputURL: row.outputURL,
            fileName: row.fileName,
            originalBytes: row.originalBytes,
            compressedBytes: row.compressedBytes
        }
        comparisonOrigin = origin
    }

    // The list comes back into view after the faces' cross-fade; its compare action takes the
    // focus then (hidden items take none).
    function closeComparison() {
        comparedRow = null
        if (mainLayoutFace.visible && comparisonOrigin) {
            comparisonOrigin.forceActiveFocus()
            comparisonOrigin = null
        }
    }

    function processPendingDockFiles() {
        const urls = dockFileDropRelay.consumePendingURLs()
        if (urls.length === 0)
            return
        DockDropLog.processingDockFiles(urls.length)
        viewModel.handleDroppedFiles(urls)
    }

    implicitWidth: 720
    implicitHeight: 520

    onIsInViewChanged: if (isInView) processPendingDockFiles()
    Component.onCompleted: if (isInView) processPendingDockFiles()

    // A new batch or an emptied list takes the compared row away.
    Connections {
        target: root.viewModel?.results ?? null
        function onCountChanged() { root.closeComparison() }
    }

    Connections {
        target: root.dockFileDropRelay
        function onDidEnqueue() { root.processPendingDockFiles() }
    }

    component Face: Item {
        id: face

        property bool shown

        opacity: shown ? 1 : 0
        visible: opacity > 0
        transform: Translate {
            y: face.shown ? 0 : 8
            Behavior on y { NumberAnimation { duration: Theme.faceAnimationDuration; easing.type: Easing.InOutQuad } }
        }

        Behavior on opacity { NumberAnimation { duration: Theme.faceAnimationDuration; easing.type: Easing.InOutQuad } }
    }

    // Two texts that cross-fade when the header switches between processing and results.
    component HeaderText: Item {
        id: headerText

        property string processingText
        property string finishedText
        property bool processing
        property int pixelSize: Theme.bodySize
        property bool bold
        property color color: Theme.primaryText
        readonly property string shownText: processing ? processingText : finishedText

        implicitWidth: Math.max(processingLine.implicitWidth, finishedLine.implicitWidth)
        implicitHeight: Math.max(processingLine.implicitHeight, finishedLine.implicitHeight)

        StyledText {
            id: processingLine
            width: parent.width
            text: headerText.processingText
            font.pixelSize: headerText.pixelSize
            font.bold: headerText.bold
            color: headerText.color
            wrapMode: Text.Wrap
            opacity: headerText.processing ? 1 : 0
            Behavior on opacity { NumberAnimation { duration: Theme.faceAnimationDuration; easing.type: Easing.InOutQuad } }
        }

        StyledText {
            id: finishedLine
            width: parent.width
            text: headerText.finishedText
            font.pixelSize: headerText.pixelSize
            font.bold: headerText.bold
            color: headerText.color
            wrapMode: Text.Wrap
            opacity: headerText.processing ? 0 : 1
            Behavior on opacity { NumberAnimation { duration: Theme.faceAnimationDuration; easing.type: Easing.InOutQuad } }
        }
    }

    Face {
        id: dropZoneFace
        objectName: "dropZoneFace"
        anchors.fill: parent
        shown: root.face === "dropZone"

        DropZoneView {
            objectName: "dropZone"
            anchors.fill: parent
            anchors.margins: 20
            isTargeted: root.isDropTargeted
        }

        SettingsButton {
            objectName: "dropZoneSettingsButton"
            anchors.top: parent.top
            anchors.right: parent.right
            anchors.margins: 20 + 14
            enabled: dropZoneFace.shown
            onClicked: settingsPanel.open()
        }
    }

    Face {
        id: mainLayoutFace
        objectName: "mainLayoutFace"
        anchors.fill: parent
        shown: root.face !== "dropZone" && !root.isComparing

        onVisibleChanged: {
            if (!visible || root.isComparing || !root.comparisonOrigin)
                return
            root.comparisonOrigin.forceActiveFocus()
            root.comparisonOrigin = null
        }

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 16 + 24
            spacing: 18

            RowLayout {
                Layout.fillWidth: true
                spacing: 8

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.alignment: Qt.AlignTop
                    spacing: 6

                    HeaderText {
                        objectName: "headerTitle"
                        Layout.fillWidth: true
                        processing: root.isProcessing
                        processingText: qsTr("正在压缩")
                        finishedText: qsTr("压缩结果")
                        pixelSize: 30
                        bold: true
                    }

                    HeaderText {
                        objectName: "headerHint"
                        Layout.fillWidth: true
                        processing: root.isProcessing
                        processingText: qsTr("你可以继续把图片拖到这里，新一批任务会直接替换当前结果。")
                        finishedText: qsTr("继续拖入图片会直接清空当前结果并开始新一轮压缩。")
                        color: Theme.secondaryText
                    }

                    StyledText {
                        objectName: "headerNote"
                        Layout.fillWidth: true
                        text: qsTr("输出文件保存在原图所在目录")
                        font.pixelSize: Theme.footnoteSize
                        color: Theme.secondaryText
                        wrapMode: Text.Wrap
                    }
                }

                SettingsButton {
                    objectName: "headerSettingsButton"
                    Layout.alignment: Qt.AlignTop
                    enabled: mainLayoutFace.shown
                    onClicked: settingsPanel.open()
                }

                Button {
                    id: clearButton
                    objectName: "clearButton"
                    Layout.alignment: Qt.AlignTop
                    Layout.preferredWidth: 32
                    Layout.preferredHeight: 32
                    flat: true
                    padding: 0
                    display: AbstractButton.IconOnly
                    text: qsTr("清空")
                    icon.source: "icons/xmark.svg"
                    icon.width: 18
                    icon.height: 18
                    icon.color: Theme.primaryText
                    opacity: pressed ? 0.55 : 1
                    background: Rectangle {
                        radius: width / 2
                        color: clearButton.hovered ? Qt.rgba(1, 1, 1, 0.1) : "transparent"
                    }
                    Accessible.name: text
                    ToolTip.visible: hovered
                    ToolTip.delay: 500
                    ToolTip.text: text
                    onClicked: root.viewModel.clearResults()
                }
            }

            Item {
                id: body
                Layout.fillWidth: true
                Layout.fillHeight: true

                Face {
                    objectName: "processingFace"
                    width: parent.width
                    height: card.implicitHeight
                    shown: root.face === "processing"

                    ProcessingCard {
                        id: card
                        objectName: "processingCard"
                        anchors.fill: parent
                    }
                }

                Face {
                    objectName: "resultsFace"
                    anchors.fill: parent
                    shown: root.face === "results"

                    ListView {
                        id: resultList
                        objectName: "resultList"
                        anchors.fill: parent
                        // Room for the rows' one-point outline, which the clip would cut.
                        topMargin: 1
                        bottomMargin: 1
                        leftMargin: 1
                        rightMargin: 1
                        spacing: 16
                        clip: true
                        boundsBehavior: Flickable.StopAtBounds
                        model: root.viewModel?.results ?? null
                        delegate: CompressionResultRow {
                            id: resultRow
                            width: ListView.view.width - 2
                            onCompareRequested: root.openComparison(resultRow, resultRow.compareAction)
                        }

                        ScrollBar.vertical: ScrollBar {
                            // In the layout's right margin, so the bar never covers a row.
                            parent: resultList.parent
                            anchors.top: resultList.top
                            anchors.bottom: resultList.bottom
                            anchors.left: resultList.right
                            anchors.leftMargin: 10
                            policy: resultList.contentHeight > resultList.height ? ScrollBar.AlwaysOn
                                                                                 : ScrollBar.AsNeeded
                        }
                    }
                }
            }
        }

        // The drag border along the inner edge of the outer margin.
        Rectangle {
            objectName: "dragBorder"
            anchors.fill: parent
            anchors.margins: 16
            radius: 24
            color: "transparent"
            border.width: 1.5
            border.color: root.isDropTargeted ? Theme.withAlpha(Theme.accent, 0.7) : "transparent"
            Behavior on border.color { ColorAnimation { duration: Theme.faceAnimationDuration; easing.type: Easing.InOutQuad } }
        }
    }

    // Above the list, which stays as it is underneath and keeps its scroll position.
    Face {
        id: compareFace
        objectName: "compareFace"
        anchors.fill: parent
        shown: root.isComparing

        Loader {
            id: compareLoader
            anchors.fill: parent
            active: root.isComparing
            sourceComponent: CompareView {
                objectName: "compareView"
                sourceURL: root.comparedRow?.sourceURL ?? ""
                outputURL: root.comparedRow?.outputURL ?? ""
                fileName: root.comparedRow?.fileName ?? ""
                originalBytes: root.comparedRow?.originalBytes ?? 0
                compressedBytes: root.comparedRow?.compressedBytes ?? 0
                focus: true
                onClosed: root.closeComparison()
            }
            onLoaded: item.forceActiveFocus()
        }
    }

    SettingsPanel {
        id: settingsPanel
        objectName: "settingsPanel"
        parent: root
        settings: root.settings
        // Keyboard focus goes back to the window's content.
        onClosed: root.forceActiveFocus()
    }

    Shortcut {
        sequence: "Ctrl+,"
        onActivated: settingsPanel.open()
    }

    // Over everything, so a drag anywhere on the window counts. It takes no clicks.
    DropArea {
        id: dropArea
        objectName: "windowDropArea"
        anchors.fill: parent
        keys: ["text/uri-list"]
        // Files are only read, never moved: the drag is always a copy.
        onEntered: drag => {
            drag.accept(Qt.CopyAction)
            root.viewModel.isDropTargeted = true
        }
        onExited: root.viewModel.isDropTargeted = false
        onDropped: drop => {
            root.viewModel.isDropTargeted = false
            if (root.viewModel.handleDroppedFiles(drop.urls))
                drop.accept(Qt.CopyAction)
            else
                drop.accepted = false
        }
    }
}

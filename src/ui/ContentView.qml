// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Pressel

// The whole content of the main window: the drop zone, the processing card or the result list,
// chosen from the batch controller's state. The entire window takes drops of files; files also
// come from the open dialog (Ctrl+O, or folders) and the clipboard (Ctrl+V). All of them go to
// the batch controller's openFiles(), as files opened from outside the window do.
Item {
    id: root

    // The batch controller (CompressionViewModel); anything with the same properties, methods
    // and signals will do, which is how the tests drive it.
    required property var viewModel
    // The saved compression settings the panel edits; the tests hand in their own.
    property var settings: CompressionSettingsModel {}

    // Reads the files a file manager copied (FileClipboard); the tests put their own here.
    property var fileClipboard: FileClipboard

    // Null-safe: while the window closes, the controller may go before the view.
    readonly property bool isProcessing: viewModel?.isProcessing ?? false
    readonly property bool hasResults: (viewModel?.results?.count ?? 0) > 0
    readonly property bool isDropTargeted: viewModel?.isDropTargeted ?? false
    readonly property int unprocessedCount: viewModel?.unprocessedCount ?? 0
    // A stopped batch shows its stop line even when no file of it finished.
    // Totals without rows: every file was left out as done before.
    readonly property bool hasSummary: hasResults || (!isProcessing && (unprocessedCount > 0
                                                                        || (viewModel?.totalsText ?? "") !== ""))
    readonly property string face: hasSummary ? "results" : isProcessing ? "processing" : "dropZone"
    // The row shown in the before/after view: its sizes and files, copied when it was opened.
    property var comparedRow: null
    readonly property bool isComparing: comparedRow !== null && face === "results"
    // The compare action that opened the view, which has the focus again when it closes.
    property Item comparisonOrigin: null
    function openComparison(row, origin) {
        comparedRow = {
            sourceURL: row.originalURL,
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

    function pasteFiles() {
        viewModel.openFiles(fileClipboard.fileURLs())
    }

    implicitWidth: 720
    implicitHeight: 520

    OpenDialog {
        id: openDialog
        parentWindow: root.Window.window
        folder: root.viewModel?.openFolderURL ?? ""
        windowColor: Theme.window
        accentColor: Theme.accent
        onChosen: urls => root.viewModel.openFiles(urls)
    }

    Shortcut {
        sequences: [StandardKey.Open]
        onActivated: openDialog.chooseFiles()
    }

    Shortcut {
        sequences: [StandardKey.Paste]
        onActivated: root.pasteFiles()
    }

    // Escape stops a running batch; with nothing running it does nothing.
    Shortcut {
        sequence: "Escape"
        enabled: root.isProcessing
        onActivated: root.viewModel.stop()
    }

    Shortcut {
        sequences: ["Ctrl+W"]
        onActivated: root.Window.window.close()
    }

    // Also over the settings panel, whose modality holds back the window's own shortcuts.
    Shortcut {
        sequences: ["Ctrl+Q"]
        context: Qt.ApplicationShortcut
        onActivated: Qt.quit()
    }

    // From wherever the focus is in the results, the list scrolls to its ends.
    Keys.onPressed: event => {
        if (face !== "results" || isComparing || (event.key !== Qt.Key_Home && event.key !== Qt.Key_End))
            return
        resultList.pinnedEdge = event.key === Qt.Key_Home ? "beginning" : "end"
        resultList.keepPinnedEdge()
        event.accepted = true
    }

    // A new batch or an emptied list takes the compared row away.
    Connections {
        target: root.viewModel?.results ?? null
        function onCountChanged() { root.closeComparison() }
    }

    component Face: Item {
        id: face

        property bool shown

        opacity: shown ? 1 : 0
        visible: opacity > 0
        transform: Translate {
            y: face.shown ? 0 : Theme.spacingM
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
        property int pixelSize: Theme.textSize
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

    // Where the drop zone and the results lie: all of the window up to a width at which a row's
    // button stays in reach of its name.
    Item {
        id: frame
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(parent.width, Theme.contentMaximumWidth)
    }

    // One gear at one place for the drop zone, the processing card and the results; the header
    // keeps its room. First in the focus chain, above the faces.
    SettingsButton {
        objectName: "settingsButton"
        z: 1
        anchors.top: frame.top
        anchors.right: frame.right
        anchors.margins: Theme.spacing2XL + Theme.spacing5XL
        visible: !root.isComparing
        onClicked: settingsPanel.open()
    }

    Face {
        id: dropZoneFace
        objectName: "dropZoneFace"
        anchors.fill: frame
        shown: root.face === "dropZone"

        DropZoneView {
            objectName: "dropZone"
            anchors.fill: parent
            anchors.margins: Theme.spacing4XL
            isTargeted: root.isDropTargeted
            onChooseFilesRequested: openDialog.chooseFiles()
            onChooseFoldersRequested: openDialog.chooseFolders()
        }
    }

    Face {
        id: mainLayoutFace
        objectName: "mainLayoutFace"
        anchors.fill: frame
        shown: root.face !== "dropZone" && !root.isComparing

        onVisibleChanged: {
            if (!visible || root.isComparing || !root.comparisonOrigin)
                return
            root.comparisonOrigin.forceActiveFocus()
            root.comparisonOrigin = null
        }

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: Theme.spacing2XL + Theme.spacing5XL
            spacing: Theme.spacing3XL
            RowLayout {
                Layout.fillWidth: true
                spacing: Theme.spacingM
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.alignment: Qt.AlignTop
                    spacing: Theme.spacingS
                    HeaderText {
                        objectName: "headerTitle"
                        Layout.fillWidth: true
                        processing: root.isProcessing
                        processingText: qsTr("正在压缩")
                        finishedText: qsTr("压缩结果")
                        pixelSize: Theme.pageTitleSize
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
                        text: root.settings.outputPlacement === "folder"
                              ? qsTr("输出文件保存在“%1”").arg(root.settings.outputFolder)
                              : root.settings.outputPlacement === "replace" ? qsTr("输出文件替换原图，原图移入回收站")
                                                                            : qsTr("输出文件保存在原图所在目录")
                        font.pixelSize: Theme.smallTextSize
                        color: Theme.secondaryText
                        wrapMode: Text.Wrap
                    }
                }

                IconButton {
                    objectName: "openButton"
                    Layout.alignment: Qt.AlignTop
                    text: qsTr("选择图片…")
                    icon.source: "icons/plus.svg"
                    onClicked: openDialog.chooseFiles()
                }

                IconButton {
                    objectName: "openFolderButton"
                    Layout.alignment: Qt.AlignTop
                    text: qsTr("选择文件夹…")
                    icon.source: "icons/folder.svg"
                    onClicked: openDialog.chooseFolders()
                }

                Button {
                    id: stopButton
                    objectName: "stopButton"
                    Layout.alignment: Qt.AlignTop
                    visible: root.isProcessing
                    enabled: !(root.viewModel?.isStopping ?? false)
                    flat: true
                    // Says at once that the stop is heard: the files in hand still finish.
                    text: root.viewModel?.isStopping ? qsTr("正在停止…") : qsTr("停止")
                    leftPadding: Theme.spacingXL
                    rightPadding: Theme.spacingXL
                    opacity: !enabled ? 0.4 : pressed ? 0.55 : 1
                    contentItem: StyledText {
                        text: stopButton.text
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                    }
                    background: Rectangle {
                        implicitHeight: Theme.controlSize
                        radius: height / 2
                        color: stopButton.hovered ? Theme.hoverFill : "transparent"
                        border.width: Theme.hairline
                        border.color: Theme.panelEdge

                        FocusRing {
                            shown: stopButton.visualFocus
                        }
                    }
                    Accessible.name: text
                    onClicked: root.viewModel.stop()
                }

                IconButton {
                    objectName: "clearButton"
                    Layout.alignment: Qt.AlignTop
                    text: qsTr("清空")
                    icon.source: "icons/xmark.svg"
                    onClicked: root.viewModel.clearResults()
                }

                // The gear's place.
                Item {
                    Layout.preferredWidth: Theme.controlSize
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
                        completedCount: root.viewModel?.completedCount ?? 0
                        totalCount: root.viewModel?.totalCount ?? 0
                        fileInHandName: root.viewModel?.fileInHandName ?? ""
                    }
                }

                Face {
                    objectName: "resultsFace"
                    anchors.fill: parent
                    shown: root.face === "results"

                    Column {
                        id: summary
                        width: parent.width
                        spacing: Theme.spacingXS
                        StyledText {
                            objectName: "totalsLine"
                            width: parent.width
                            visible: text.length > 0
                            text: root.viewModel?.totalsText ?? ""
                            font.pixelSize: Theme.captionSize
                            font.weight: Font.Medium
                            color: Theme.secondaryText
                            elide: Text.ElideRight
                        }

                        RowLayout {
                            width: parent.width
                            visible: root.unprocessedCount > 0 && !root.isProcessing
                            spacing: Theme.spacingL
                            StyledText {
                                objectName: "stopLine"
                                Layout.fillWidth: true
                                text: qsTr("已停止：%1 个文件未处理").arg(root.unprocessedCount)
                                font.pixelSize: Theme.captionSize
                                color: Theme.orange
                                elide: Text.ElideRight
                            }

                            Button {
                                id: continueButton
                                objectName: "continueButton"
                                flat: true
                                text: qsTr("继续处理剩余 %1 个文件", "", root.unprocessedCount).arg(root.unprocessedCount)
                                leftPadding: Theme.spacingXL
                                rightPadding: Theme.spacingXL
                                opacity: pressed ? 0.55 : 1
                                contentItem: StyledText {
                                    text: continueButton.text
                                    font.pixelSize: Theme.captionSize
                                    color: Theme.accent
                                    horizontalAlignment: Text.AlignHCenter
                                    verticalAlignment: Text.AlignVCenter
                                }
                                background: Rectangle {
                                    implicitHeight: Theme.controlSize
                                    radius: height / 2
                                    color: continueButton.hovered ? Theme.hoverFill : "transparent"
                                    border.width: Theme.hairline
                                    border.color: Theme.panelEdge

                                    FocusRing {
                                        shown: continueButton.visualFocus
                                    }
                                }
                                Accessible.name: text
                                onClicked: root.viewModel.continueRemaining()
                            }
                        }
                    }

                    ListView {
                        id: resultList
                        objectName: "resultList"
                        anchors.top: summary.bottom
                        anchors.topMargin: summary.height > 0 ? 12 : 0
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.bottom: parent.bottom
                        // Room for the rows' one-point outline, which the clip would cut.
                        topMargin: Theme.hairline
                        bottomMargin: Theme.hairline
                        leftMargin: Theme.hairline
                        rightMargin: Theme.hairline
                        spacing: Theme.spacing2XL
                        clip: true
                        boundsBehavior: Flickable.StopAtBounds
                        model: root.viewModel?.results ?? null

                        // The end Home or End went to, kept while the rows there lay themselves
                        // out (until then the list only estimates where they are): until the
                        // list is scrolled, a row takes the focus or the rows change.
                        property string pinnedEdge
                        function keepPinnedEdge() {
                            if (pinnedEdge === "beginning")
                                positionViewAtBeginning()
                            else if (pinnedEdge === "end")
                                positionViewAtEnd()
                        }
                        onContentHeightChanged: keepPinnedEdge()
                        onOriginYChanged: keepPinnedEdge()
                        onHeightChanged: keepPinnedEdge()
                        onMovementStarted: pinnedEdge = ""
                        onCountChanged: pinnedEdge = ""
                        // While the batch runs, the files still to finish are counted under
                        // the rows of those that have.
                        footer: StyledText {
                            objectName: "waitingLine"
                            width: ListView.view ? ListView.view.width : 0
                            topPadding: Theme.spacingL
                            visible: root.isProcessing
                            height: visible ? contentHeight + topPadding + bottomPadding : 0
                            readonly property int waiting: (root.viewModel?.totalCount ?? 0)
                                                           - (root.viewModel?.completedCount ?? 0)
                            text: qsTr("还有 %1 个文件在处理").arg(waiting)
                            font.pixelSize: Theme.captionSize
                            color: Theme.secondaryText
                        }
                        delegate: CompressionResultRow {
                            id: resultRow
                            required property int index

                            objectName: "resultRow"
                            width: ListView.view.width - 2 * Theme.hairline
                            onCompareRequested: root.openComparison(resultRow, resultRow.compareAction)
                            // Tab may lead to a row scrolled out of sight.
                            onActiveFocusChanged: {
                                if (!activeFocus)
                                    return
                                ListView.view.pinnedEdge = ""
                                ListView.view.positionViewAtIndex(index, ListView.Contain)
                            }
                        }

                        ScrollBar.vertical: ScrollBar {
                            id: scrollBar
                            // In the layout's right margin, so the bar never covers a row.
                            parent: resultList.parent
                            anchors.top: resultList.top
                            anchors.bottom: resultList.bottom
                            anchors.left: resultList.right
                            anchors.leftMargin: Theme.spacingML
                            // Only a list that scrolls has a bar, its track included.
                            policy: resultList.contentHeight > resultList.height ? ScrollBar.AlwaysOn
                                                                                 : ScrollBar.AlwaysOff
                            visible: policy === ScrollBar.AlwaysOn
                            minimumSize: Theme.scrollHandleMinimumLength / Math.max(1, height)
                            padding: 0
                            onPressedChanged: resultList.pinnedEdge = ""
                            contentItem: Rectangle {
                                objectName: "scrollHandle"
                                implicitWidth: Theme.spacingML
                                radius: width / 2
                                color: scrollBar.pressed || scrollBar.hovered ? Theme.scrollHandleActive
                                                                           : Theme.scrollHandle
                            }
                            background: Rectangle {
                                implicitWidth: Theme.spacingML
                                radius: width / 2
                                color: Theme.scrollTrack
                            }
                        }
                    }
                }
            }
        }

        // The drag border along the inner edge of the outer margin.
        Rectangle {
            objectName: "dragBorder"
            anchors.fill: parent
            anchors.margins: Theme.spacing2XL
            radius: Theme.dragBorderRadius
            color: "transparent"
            border.width: Theme.dropLineWidth
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
        // A row dragged out of this window is not dropped back into it.
        onEntered: drag => {
            if (drag.source) {
                drag.accepted = false
                return
            }
            drag.accept(Qt.CopyAction)
            root.viewModel.isDropTargeted = true
        }
        onExited: root.viewModel.isDropTargeted = false
        onDropped: drop => {
            root.viewModel.isDropTargeted = false
            if (root.viewModel.openFiles(drop.urls))
                drop.accept(Qt.CopyAction)
            else
                drop.accepted = false
        }
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Pressel

// One file's outcome: thumbnail, name and status symbol, saving badge and sizes, the output path
// or the reason, and a button that shows the file in the file manager. Built by the result list
// from the row model's roles. Tab stops on the row (a screen reader reads its description) and
// then on its button; Space or Enter on the row shows the file too, Ctrl+C copies the output as a
// file manager copies files, and the row can be dragged out to another application as its output.
Item {
    id: row

    required property url sourceURL
    // Where the source's picture is: at sourceURL, or in the Trash once the output replaced it.
    required property url originalURL
    required property string fileName
    required property var outputURL
    required property var outputPath
    required property double originalBytes
    required property var compressedBytes
    required property int status
    required property var message
    // "HEIC → JPEG" when the output is in another format than its source; undefined otherwise.
    required property var conversion
    required property bool lossless
    required property var resize
    // The quality chosen for this file (automatic quality, target size); undefined otherwise.
    required property var chosenQuality

    // The row or its thumbnail's compare action was used; only rows with an output offer it.
    signal compareRequested()

    readonly property bool hasOutput: outputPath !== undefined && outputPath !== null
    readonly property bool hasCompressedBytes: compressedBytes !== undefined && compressedBytes !== null
    readonly property bool hasMessage: message !== undefined && message !== null
    readonly property bool converted: conversion !== undefined && conversion !== null
    readonly property bool hasResize: resize !== undefined && resize !== null
    // "4032×3024 → 1920×1440" for a resized picture, else empty.
    readonly property string resizeText: hasResize ? resize : ""
    // Defined only with an output size and a source of at least one byte.
    readonly property real savedFraction: hasCompressedBytes && originalBytes >= 1
                                          ? 1 - compressedBytes / originalBytes : NaN

    readonly property string badgeText: {
        if (status === ResultStatus.Skipped)
            return qsTr("跳过")
        if (status !== ResultStatus.Success || isNaN(savedFraction))
            return qsTr("失败")
        // A conversion is kept whatever its size: a larger file says so.
        if (savedFraction < 0)
            return "↑ " + PercentFormatter.stringFromFraction(-savedFraction)
        return "↓ " + PercentFormatter.stringFromFraction(savedFraction)
    }
    readonly property color badgeColor: {
        if (status === ResultStatus.Skipped)
            return Theme.withAlpha(Theme.orange, 0.9)
        if (status !== ResultStatus.Success || isNaN(savedFraction))
            return Theme.withAlpha(Theme.red, 0.9)
        if (savedFraction < 0)
            return Theme.withAlpha(Theme.orange, 0.9)
        return Theme.accent
    }
    readonly property string sizesText: ByteCountFormatter.stringFromByteCount(originalBytes) + " → "
                                        + (hasCompressedBytes ? ByteCountFormatter.stringFromByteCount(compressedBytes) : "-")
    readonly property string losslessText: status === ResultStatus.Success && lossless ? qsTr("无损") : ""
    readonly property string qualityText: status === ResultStatus.Success && chosenQuality !== undefined
                                          && chosenQuality !== null ? qsTr("质量 %1").arg(chosenQuality) : ""
    // What became of the picture beyond its bytes, in the order the command line prints it:
    // "HEIC → JPEG · 4032×3024 → 1920×1440 · 质量 68".
    readonly property string outputText: [converted ? conversion : "", resizeText,
                                          losslessText, qualityText]
                                         .filter(part => part.length > 0).join(" · ")
    readonly property string detailText: {
        if (hasOutput)
            return outputPath
        if (status === ResultStatus.Success)
            return "-"
        if (hasMessage)
            return message
        return "-"
    }
    readonly property string statusSymbol: {
        if (status === ResultStatus.Success)
            return "checkmark.circle.fill"
        if (status === ResultStatus.Skipped)
            return "minus.circle.fill"
        return "xmark.circle.fill"
    }
    readonly property bool canCompare: status === ResultStatus.Success && hasOutput
    readonly property Item compareAction: compareButton
    readonly property url revealTarget: hasOutput ? outputURL : sourceURL
    // Set when the last reveal reached no file manager and no folder handler.
    property string revealProblem
    readonly property string statusText: status === ResultStatus.Success ? qsTr("成功") : badgeText

    function revealInFileManager() {
        revealProblem = ""
        FileManagerReveal.reveal(revealTarget)
    }

    implicitWidth: 600
    implicitHeight: layout.implicitHeight + 2 * layout.anchors.margins
    activeFocusOnTab: true

    Accessible.role: Accessible.ListItem
    Accessible.name: fileName
    Accessible.description: [fileName, statusText, converted ? qsTr("已转换：%1").arg(conversion) : "",
                             status === ResultStatus.Success ? badgeText : "", sizesText, resizeText,
                             losslessText, qualityText, detailText, revealProblem]
                            .filter(part => part.length > 0).join(qsTr("，"))
    Accessible.focusable: true
    Accessible.focused: activeFocus
    Keys.onSpacePressed: revealInFileManager()
    Keys.onReturnPressed: revealInFileManager()
    Keys.onEnterPressed: revealInFileManager()
    Keys.onPressed: event => {
        if (event.matches(StandardKey.Copy) && hasOutput) {
            FileClipboard.copy([outputURL])
            event.accepted = true
        }
    }

    // Anywhere on the row but its buttons and its selectable path, as on its thumbnail.
    TapHandler {
        enabled: row.canCompare
        onTapped: row.compareRequested()
    }

    DragHandler {
        id: dragOut
        target: null
        enabled: row.hasOutput
    }
    Drag.active: dragOut.active
    Drag.dragType: Drag.Automatic
    Drag.supportedActions: Qt.CopyAction
    Drag.mimeData: ({ "text/uri-list": hasOutput ? FileClipboard.uriList([outputURL]) : "" })
    Connections {
        target: FileManagerReveal
        function onFailed(file) {
            if (file.toString() === row.revealTarget.toString())
                row.revealProblem = qsTr("无法打开文件管理器")
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: Theme.rowRadius
        color: Theme.rowFill
        border.width: Theme.hairline
        border.color: Theme.panelEdge

        // On the row's own edge: the list clips whatever lies outside its rows.
        FocusRing {
            shown: row.activeFocus
            gap: -border.width
        }
    }

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.margins: Theme.spacing3XL
        spacing: Theme.spacing3XL
        Item {
            id: thumbnailFrame

            readonly property int side: 80

            Layout.preferredWidth: side
            Layout.preferredHeight: side
            Layout.alignment: Qt.AlignVCenter

            Rectangle {
                anchors.fill: parent
                radius: Theme.tileRadius
                color: Theme.subtleFill
            }

            // Decoded off the GUI thread and only at the size it is drawn (twice that, for
            // sharp pixels on dense screens), so a long list of large photos scrolls freely;
            // cropped to the tile and rounded as it is decoded.
            Image {
                id: thumbnail
                objectName: "thumbnail"
                anchors.fill: parent
                source: Thumbnails.thumbnailURL(row.sourceURL, Theme.tileRadius / thumbnailFrame.side)
                asynchronous: true
                sourceSize.width: 2 * thumbnailFrame.side
                sourceSize.height: 2 * thumbnailFrame.side
                smooth: true
                visible: status === Image.Ready
            }

            Image {
                objectName: "photoSymbol"
                anchors.centerIn: parent
                width: Theme.photoSymbolSize
                height: Theme.photoSymbolSize
                source: "icons/photo.svg"
                sourceSize.width: 2 * width
                sourceSize.height: 2 * height
                opacity: 0.62
                visible: thumbnail.status === Image.Error || thumbnail.status === Image.Null
            }

            AbstractButton {
                id: compareButton
                objectName: "compareButton"
                anchors.fill: parent
                visible: row.canCompare
                text: qsTr("对比原图")
                focusPolicy: Qt.StrongFocus
                hoverEnabled: true
                contentItem: Item {}
                background: Rectangle {
                    radius: Theme.tileRadius
                    color: compareButton.hovered ? Theme.hoverFill : "transparent"
                    border.width: compareButton.visualFocus ? Theme.focusLineWidth : 0
                    border.color: Theme.accent
                }
                Accessible.role: Accessible.Button
                Accessible.name: text
                ToolTip.visible: hovered
                ToolTip.delay: Theme.tooltipDelay
                ToolTip.text: text
                Keys.onReturnPressed: row.compareRequested()
                Keys.onEnterPressed: row.compareRequested()
                onClicked: row.compareRequested()

                HoverHandler {
                    cursorShape: Qt.PointingHandCursor
                }
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: Theme.spacingL
            // The name takes what it needs, up to the room left by the symbol that follows it.
            Item {
                Layout.fillWidth: true
                implicitHeight: Math.max(fileNameText.implicitHeight, statusIcon.height)

                StyledText {
                    id: fileNameText
                    objectName: "fileName"
                    anchors.verticalCenter: parent.verticalCenter
                    width: Math.min(implicitWidth, parent.width - statusIcon.width - Theme.spacingML)
                    text: row.fileName
                    font.pixelSize: Theme.rowTitleSize
                    font.bold: true
                    elide: Text.ElideMiddle
                    maximumLineCount: 1
                }

                Image {
                    id: statusIcon
                    objectName: "statusSymbol"
                    anchors.verticalCenter: parent.verticalCenter
                    x: fileNameText.width + Theme.spacingML
                    width: Theme.statusSymbolSize
                    height: Theme.statusSymbolSize
                    source: "icons/" + row.statusSymbol + ".svg"
                    sourceSize.width: 2 * width
                    sourceSize.height: 2 * height
                }
            }

            // What became of the picture follows the sizes, or goes on a line of its own when the
            // row is too narrow for both.
            Flow {
                id: outcome
                Layout.fillWidth: true
                spacing: Theme.spacingXL
                ResultBadge {
                    id: badge
                    objectName: "badge"
                    text: row.badgeText
                    color: row.badgeColor
                }

                StyledText {
                    objectName: "sizes"
                    height: badge.height
                    verticalAlignment: Text.AlignVCenter
                    text: row.sizesText
                    font.pixelSize: Theme.emphasisSize
                    font.weight: Font.Medium
                    color: Theme.secondaryText
                }

                StyledText {
                    objectName: "output"
                    visible: text.length > 0
                    width: Math.min(implicitWidth, outcome.width)
                    height: badge.height
                    verticalAlignment: Text.AlignVCenter
                    text: row.outputText
                    elide: Text.ElideRight
                    font.pixelSize: Theme.emphasisSize
                    color: Theme.secondaryText
                }
            }

            SelectableDetailText {
                objectName: "detail"
                Layout.fillWidth: true
                text: row.detailText
                maximumLineCount: 2
            }

            StyledText {
                objectName: "revealProblem"
                Layout.fillWidth: true
                visible: text.length > 0
                text: row.revealProblem
                font.pixelSize: Theme.smallTextSize
                color: Theme.red
            }
        }

        IconButton {
            objectName: "revealButton"
            Layout.preferredWidth: Theme.largeControlSize
            Layout.preferredHeight: Theme.largeControlSize
            Layout.alignment: Qt.AlignVCenter
            cornerRadius: Theme.smallButtonRadius
            iconSize: Theme.largeIconSize
            text: qsTr("在文件管理器中显示")
            icon.source: "icons/folder.svg"
            onClicked: row.revealInFileManager()
        }
    }
}

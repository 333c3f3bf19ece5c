// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Qt5Compat.GraphicalEffects
import Pressel

// One file's outcome: thumbnail, name and status symbol, saving badge and sizes, the output path
// or the reason, and a button that shows the file in the file manager. Built by the result list
// from the row model's roles. Tab stops on the row (a screen reader reads its description) and
// then on its button; Space or Enter on the row shows the file too.
Item {
    id: row

    required property url sourceURL
    required property string fileName
    required property var outputURL
    required property var outputPath
    required property double originalBytes
    required property var compressedBytes
    required property string status
    required property var message

    // The thumbnail's compare action was used; only rows with an output offer it.
    signal compareRequested()

    readonly property bool hasOutput: outputPath !== undefined && outputPath !== null
    readonly property bool hasCompressedBytes: compressedBytes !== undefined && compressedBytes !== null
    readonly property bool hasMessage: message !== undefined && message !== null
    // Defined only with an output size and a source of at least one byte.
    readonly property real savedFraction: hasCompressedBytes && originalBytes >= 1
                                          ? 1 - compressedBytes / originalBytes : NaN

    readonly property string badgeText: {
        if (status === "skipped")
            return qsTr("跳过")
        if (status !== "success" || isNaN(savedFraction))
            return qsTr("失败")
        return "↓ " + PercentFormatter.stringFromFraction(savedFraction)
    }
    readonly property color badgeColor: {
        if (status === "skipped")
            return Theme.withAlpha(Theme.orange, 0.9)
        if (status !== "success" || isNaN(savedFraction))
            return Theme.withAlpha(Theme.red, 0.9)
        return Theme.blue
    }
    readonly property string sizesText: ByteCountFormatter.stringFromByteCount(originalBytes) + " → "
                                        + (hasCompressedBytes ? ByteCountFormatter.stringFromByteCount(compressedBytes) : "-")
    readonly property string detailText: {
        if (hasOutput)
            return outputPath
        if (status === "success")
            return "-"
        if (hasMessage)
            return message
        return "-"
    }
    readonly property string statusSymbol: {
        if (status === "success")
            return "checkmark.circle.fill"
        if (status === "skipped")
            return "minus.circle.fill"
        return "xmark.circle.fill"
    }
    readonly property bool canCompare: status === "success" && hasOutput
    readonly property Item compareAction: compareButton
    readonly property url revealTarget: hasOutput ? outputURL : sourceURL
    // Set when the last reveal reached no file manager and no folder handler.
    property string revealProblem
    readonly property string statusText: status === "success" ? qsTr("成功") : badgeText

    function revealInFileManager() {
        revealProblem = ""
        FileManagerReveal.reveal(revealTarget)
    }

    implicitWidth: 600
    implicitHeight: layout.implicitHeight + 36
    activeFocusOnTab: true

    Accessible.role: Accessible.ListItem
    Accessible.name: fileName
    Accessible.description: [fileName, statusText, status === "success" ? badgeText : "", sizesText, detailText,
                             revealProblem]
                            .filter(part => part.length > 0).join(qsTr("，"))
    Accessible.focusable: true
    Accessible.focused: activeFocus
    Keys.onSpacePressed: revealInFileManager()
    Keys.onReturnPressed: revealInFileManager()
    Keys.onEnterPressed: revealInFileManager()
    Connections {
        target: FileManagerReveal
        function onFailed(file) {
            if (file.toString() === row.revealTarget.toString())
                row.revealProblem = qsTr("无法打开文件管理器")
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: 26
        color: Theme.regularMaterial
        border.width: 1
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
        anchors.margins: 18
        spacing: 18

        Item {
            id: thumbnailFrame
            Layout.preferredWidth: 80
            Layout.preferredHeight: 80
            Layout.alignment: Qt.AlignVCenter

            Rectangle {
                anchors.fill: parent
                radius: 18
                color: Theme.quaternaryFill
            }

            Rectangle {
                id: thumbnailMask
                anchors.fill: parent
                radius: 18
                visible: false
            }

            // Decoded off the GUI thread and only at the size it is drawn (twice that, for
            // sharp pixels on dense screens), so a long list of large photos scrolls freely.
            Image {
                id: thumbnail
                objectName: "thumbnail"
                anchors.fill: parent
                source: row.sourceURL
                asynchronous: true
                sourceSize.width: 160
                sourceSize.height: 160
                fillMode: Image.PreserveAspectCrop
                autoTransform: true
                smooth: true
                visible: status === Image.Ready
                layer.enabled: visible
                layer.effect: OpacityMask {
                    maskSource: thumbnailMask
                }
            }

            Image {
                objectName: "photoSymbol"
                anchors.centerIn: parent
                width: 34
                height: 34
                source: "icons/photo.svg"
                sourceSize.width: 68
                sourceSize.height: 68
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
                    radius: 18
                    color: compareButton.hovered ? Theme.hoverFill : "transparent"
                    border.width: compareButton.visualFocus ? 2 : 0
                    border.color: Theme.accent
                }
                Accessible.role: Accessible.Button
                Accessible.name: text
                ToolTip.visible: hovered
                ToolTip.delay: 500
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
            spacing: 12

            // The name takes what it needs, up to the room left by the symbol that follows it.
            Item {
                Layout.fillWidth: true
                implicitHeight: Math.max(fileNameText.implicitHeight, statusIcon.height)

                StyledText {
                    id: fileNameText
                    objectName: "fileName"
                    anchors.verticalCenter: parent.verticalCenter
                    width: Math.min(implicitWidth, parent.width - statusIcon.width - 10)
                    text: row.fileName
                    font.pixelSize: 18
                    font.bold: true
                    elide: Text.ElideMiddle
                    maximumLineCount: 1
                }

                Image {
                    id: statusIcon
                    objectName: "statusSymbol"
                    anchors.verticalCenter: parent.verticalCenter
                    x: fileNameText.width + 10
                    width: 20
                    height: 20
                    source: "icons/" + row.statusSymbol + ".svg"
                    sourceSize.width: 40
                    sourceSize.height: 40
                }
            }

            RowLayout {
                spacing: 14

                ResultBadge {
                    objectName: "badge"
                    text: row.badgeText
                    color: row.badgeColor
                }

                StyledText {
                    objectName: "sizes"
                    text: row.sizesText
                    font.pixelSize: 16
                    font.weight: Font.Medium
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
                font.pixelSize: Theme.footnoteSize
                color: Theme.red
            }
        }

        IconButton {
            objectName: "revealButton"
            Layout.preferredWidth: 34
            Layout.preferredHeight: 34
            Layout.alignment: Qt.AlignVCenter
            cornerRadius: 9
            iconSize: 22
            text: qsTr("在文件管理器中显示")
            icon.source: "icons/folder.svg"
            onClicked: row.revealInFileManager()
        }
    }
}

pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Qt5Compat.GraphicalEffects
import Pressel

// One file's outcome: thumbnail, name and status symbol, saving badge and sizes, the output path
// or the reason, and a button that shows the file in the file manager. Built by the result list
// from the row model's roles.
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

    function revealInFileManager() {
        FileManagerReveal.reveal(revealTarget)
    }

    implicitWidth: 600
    implicitHeight: layout.implicitHeight + 36

    Rectangle {
        anchors.fill: parent
        radius: 26
        color: Theme.regularMaterial
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.14)
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
                    color: compareButton.hovered ? Qt.rgba(1, 1, 1, 0.08) : "transparent"
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
        }

        Button {
            id: revealButton
            objectName: "revealButton"
            Layout.preferredWidth: 34
            Layout.preferredHeight: 34
            Layout.alignment: Qt.AlignVCenter
            flat: true
            padding: 0
            display: AbstractButton.IconOnly
            text: qsTr("在 Finder 中显示")
            icon.source: "icons/folder.svg"
            icon.width: 22
            icon.height: 22
            icon.color: Theme.primaryText
            opacity: pressed ? 0.55 : 1
            background: Rectangle {
                radius: 9
                color: revealButton.hovered ? Qt.rgba(1, 1, 1, 0.1) : "transparent"
            }
            Accessible.name: text
            ToolTip.visible: hovered
            ToolTip.delay: 500
            ToolTip.text: text
            onClicked: row.revealInFileManager()
        }
    }
}

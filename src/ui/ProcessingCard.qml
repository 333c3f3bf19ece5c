// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// What the body shows while a batch runs and no row is there yet: what happens, how many files
// have finished and one that is being compressed. It stands on the window's backdrop without a
// panel of its own.
Item {
    id: card

    property int completedCount: 0
    property int totalCount: 0
    property string fileInHandName: ""

    implicitWidth: layout.implicitWidth
    implicitHeight: layout.implicitHeight + layout.anchors.topMargin + layout.anchors.bottomMargin

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.topMargin: Theme.spacingM
        anchors.bottomMargin: Theme.spacingM
        spacing: Theme.spacing3XL
        Rectangle {
            Layout.preferredWidth: Theme.processingTileSize
            Layout.preferredHeight: Theme.processingTileSize
            Layout.alignment: Qt.AlignVCenter
            radius: Theme.largeTileRadius
            color: Theme.subtleFill

            ActivityIndicator {
                objectName: "largeActivityIndicator"
                anchors.centerIn: parent
                size: Theme.controlSize
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: Theme.spacingL
            StyledText {
                Layout.fillWidth: true
                text: qsTr("正在处理这一批图片")
                font.pixelSize: Theme.headingSize
                font.weight: Font.DemiBold
                wrapMode: Text.Wrap
            }

            StyledText {
                Layout.fillWidth: true
                text: qsTr("压缩完成后会在这里显示结果。继续拖入新图片会立即替换当前批次。")
                color: Theme.secondaryText
                wrapMode: Text.Wrap
            }

            RowLayout {
                spacing: Theme.spacingM
                ActivityIndicator {
                    objectName: "smallActivityIndicator"
                    Layout.alignment: Qt.AlignVCenter
                    size: Theme.textSize
                    color: Theme.secondaryText
                }

                StyledText {
                    Layout.alignment: Qt.AlignVCenter
                    text: qsTr("后台处理中，界面保持可响应")
                    font.pixelSize: Theme.captionSize
                    color: Theme.secondaryText
                }
            }

            ProgressBar {
                id: progressBar
                objectName: "progressBar"
                Layout.fillWidth: true
                Layout.topMargin: Theme.spacingXS
                from: 0
                to: Math.max(card.totalCount, 1)
                value: card.completedCount
                background: Rectangle {
                    implicitHeight: Theme.spacingS
                    radius: Theme.progressRadius
                    color: Theme.subtleFill
                }
                contentItem: Item {
                    implicitHeight: Theme.spacingS

                    Rectangle {
                        width: progressBar.visualPosition * parent.width
                        height: parent.height
                        radius: Theme.progressRadius
                        color: Theme.accent
                        Behavior on width { NumberAnimation { duration: Theme.faceAnimationDuration } }
                    }
                }
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: Theme.spacingL
                StyledText {
                    objectName: "progressText"
                    text: qsTr("已完成 %1 / %2").arg(card.completedCount).arg(card.totalCount)
                    font.pixelSize: Theme.captionSize
                    color: Theme.secondaryText
                }

                StyledText {
                    objectName: "fileInHandText"
                    Layout.fillWidth: true
                    text: card.fileInHandName
                    font.pixelSize: Theme.captionSize
                    color: Theme.secondaryText
                    elide: Text.ElideMiddle
                    maximumLineCount: 1
                }
            }
        }
    }
}

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
    implicitHeight: layout.implicitHeight + 16

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.topMargin: 8
        anchors.bottomMargin: 8
        spacing: 18

        Rectangle {
            Layout.preferredWidth: 96
            Layout.preferredHeight: 96
            Layout.alignment: Qt.AlignVCenter
            radius: 20
            color: Theme.quaternaryFill

            ActivityIndicator {
                objectName: "largeActivityIndicator"
                anchors.centerIn: parent
                size: 32
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: 12

            StyledText {
                Layout.fillWidth: true
                text: qsTr("正在处理这一批图片")
                font.pixelSize: Theme.title3Size
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
                spacing: 8

                ActivityIndicator {
                    objectName: "smallActivityIndicator"
                    Layout.alignment: Qt.AlignVCenter
                    size: 14
                    color: Theme.secondaryText
                }

                StyledText {
                    Layout.alignment: Qt.AlignVCenter
                    text: qsTr("后台处理中，界面保持可响应")
                    font.pixelSize: Theme.subheadlineSize
                    color: Theme.secondaryText
                }
            }

            ProgressBar {
                id: progressBar
                objectName: "progressBar"
                Layout.fillWidth: true
                Layout.topMargin: 4
                from: 0
                to: Math.max(card.totalCount, 1)
                value: card.completedCount
                background: Rectangle {
                    implicitHeight: 6
                    radius: 3
                    color: Theme.quaternaryFill
                }
                contentItem: Item {
                    implicitHeight: 6

                    Rectangle {
                        width: progressBar.visualPosition * parent.width
                        height: parent.height
                        radius: 3
                        color: Theme.accent
                        Behavior on width { NumberAnimation { duration: Theme.faceAnimationDuration } }
                    }
                }
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 12

                StyledText {
                    objectName: "progressText"
                    text: qsTr("已完成 %1 / %2").arg(card.completedCount).arg(card.totalCount)
                    font.pixelSize: Theme.subheadlineSize
                    color: Theme.secondaryText
                }

                StyledText {
                    objectName: "fileInHandText"
                    Layout.fillWidth: true
                    text: card.fileInHandName
                    font.pixelSize: Theme.subheadlineSize
                    color: Theme.secondaryText
                    elide: Text.ElideMiddle
                    maximumLineCount: 1
                }
            }
        }
    }
}

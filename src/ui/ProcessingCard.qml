import QtQuick
import QtQuick.Layouts

// What the body shows while a batch runs and no row is there yet. It stands on the window's
// backdrop without a panel of its own.
Item {
    id: card

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
        }
    }
}

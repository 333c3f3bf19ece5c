pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Pressel

// The compression settings: JPEG quality, pngquant's range or lossless PNG only, what becomes
// of a photo's metadata and its modification time. Every change is saved at once and applies to
// the next batch. Closes with Escape, a click beside it or its close button.
Popup {
    id: panel

    // The saved settings: a CompressionSettingsModel.
    required property var settings

    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    padding: 24
    width: Math.min(480, (parent?.width ?? 480) - 32)
    x: Math.round(((parent?.width ?? width) - width) / 2)
    y: Math.round(((parent?.height ?? height) - height) / 2)

    palette.window: "#2c2c30"
    palette.windowText: Theme.primaryText
    palette.base: "#1c1c1f"
    palette.alternateBase: "#3a3a3f"
    palette.text: Theme.primaryText
    palette.button: "#3a3a3f"
    palette.buttonText: Theme.primaryText
    palette.brightText: Theme.primaryText
    palette.highlight: Theme.accent
    palette.highlightedText: "#ffffff"
    palette.light: "#4a4a50"
    palette.midlight: "#3a3a3f"
    palette.mid: "#5a5a60"
    palette.dark: "#8e8e93"
    palette.shadow: "#000000"
    palette.placeholderText: Theme.secondaryText

    background: Rectangle {
        radius: 18
        color: "#2c2c30"
        border.width: 1
        border.color: Theme.backdropEdge
    }

    onOpened: jpegQuality.forceActiveFocus(Qt.TabFocusReason)

    component SectionTitle: StyledText {
        font.pixelSize: Theme.bodySize
        font.bold: true
    }

    contentItem: ColumnLayout {
        spacing: 14
        Accessible.role: Accessible.Dialog
        Accessible.name: title.text

        RowLayout {
            Layout.fillWidth: true

            StyledText {
                id: title
                objectName: "settingsTitle"
                Layout.fillWidth: true
                text: qsTr("设置")
                font.pixelSize: 22
                font.bold: true
            }

            Button {
                id: closeButton
                objectName: "settingsCloseButton"
                Layout.preferredWidth: 28
                Layout.preferredHeight: 28
                flat: true
                padding: 0
                display: AbstractButton.IconOnly
                text: qsTr("关闭")
                icon.source: "icons/xmark.svg"
                icon.width: 14
                icon.height: 14
                icon.color: Theme.primaryText
                background: Rectangle {
                    radius: width / 2
                    color: closeButton.hovered || closeButton.visualFocus ? Qt.rgba(1, 1, 1, 0.1) : "transparent"
                    border.width: closeButton.visualFocus ? 1.5 : 0
                    border.color: Theme.accent
                }
                Accessible.name: text
                onClicked: panel.close()
            }
        }

        SectionTitle {
            text: qsTr("JPEG 质量")
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 12

            Slider {
                id: jpegQuality
                objectName: "jpegQualitySlider"
                Layout.fillWidth: true
                from: panel.settings.minimumJPEGQuality
                to: panel.settings.maximumJPEGQuality
                stepSize: 1
                snapMode: Slider.SnapAlways
                value: panel.settings.jpegQuality
                Accessible.name: qsTr("JPEG 质量")
                onMoved: panel.settings.jpegQuality = Math.round(value)
            }

            StyledText {
                objectName: "jpegQualityValue"
                Layout.minimumWidth: 28
                horizontalAlignment: Text.AlignRight
                text: panel.settings.jpegQuality
            }
        }

        SectionTitle {
            text: qsTr("PNG 质量范围")
        }

        RowLayout {
            spacing: 10
            enabled: !panel.settings.pngLossless

            SpinBox {
                id: pngMinimum
                objectName: "pngQualityMinimum"
                from: 0
                to: panel.settings.pngQualityMaximum
                editable: true
                value: panel.settings.pngQualityMinimum
                Accessible.name: qsTr("PNG 质量范围") + " " + qsTr("最低")
                onValueModified: panel.settings.pngQualityMinimum = value
            }

            StyledText {
                text: "–"
            }

            SpinBox {
                id: pngMaximum
                objectName: "pngQualityMaximum"
                from: panel.settings.pngQualityMinimum
                to: 100
                editable: true
                value: panel.settings.pngQualityMaximum
                Accessible.name: qsTr("PNG 质量范围") + " " + qsTr("最高")
                onValueModified: panel.settings.pngQualityMaximum = value
            }
        }

        CheckBox {
            objectName: "pngLosslessCheckBox"
            text: qsTr("PNG 只做无损压缩")
            checked: panel.settings.pngLossless
            Accessible.name: text
            onToggled: panel.settings.pngLossless = checked
        }

        SectionTitle {
            text: qsTr("元数据")
        }

        ColumnLayout {
            spacing: 2
            Accessible.role: Accessible.Grouping
            Accessible.name: qsTr("元数据")

            Repeater {
                model: [
                    { policy: "strip", label: qsTr("全部去除") },
                    { policy: "camera", label: qsTr("保留拍摄信息，去除位置") },
                    { policy: "all", label: qsTr("全部保留") }
                ]
                delegate: RadioButton {
                    required property var modelData
                    objectName: "metadata_" + modelData.policy
                    text: modelData.label
                    checked: panel.settings.metadataPolicy === modelData.policy
                    Accessible.name: text
                    onToggled: if (checked) panel.settings.metadataPolicy = modelData.policy
                }
            }
        }

        CheckBox {
            objectName: "keepDatesCheckBox"
            text: qsTr("保留原文件的修改时间")
            checked: panel.settings.keepModificationDate
            Accessible.name: text
            onToggled: panel.settings.keepModificationDate = checked
        }

        Button {
            objectName: "restoreDefaultsButton"
            Layout.alignment: Qt.AlignRight
            text: qsTr("恢复默认设置")
            enabled: !panel.settings.isDefault
            Accessible.name: text
            onClicked: panel.settings.restoreDefaults()
        }
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs
import QtQuick.Layouts
import Pressel

// The compression settings: the output format and its quality or lossless JPEG only, pngquant's
// range or lossless PNG only, the longest side outputs are brought down to and the size they must
// fit, what becomes of a photo's metadata and its modification time; where outputs go; whether the
// desktop is told when a batch ends unseen; and Pressel in Thunar's context menu. Every change is
// saved at once and applies to the next batch. Closes with Escape, a click beside it or its close
// button.
Popup {
    id: panel

    // The saved settings: a CompressionSettingsModel.
    required property var settings

    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    padding: Theme.spacing5XL
    width: Math.min(480, (parent?.width ?? 480) - 2 * Theme.spacing2XL)
    x: Math.round(((parent?.width ?? width) - width) / 2)
    y: Math.round(((parent?.height ?? height) - height) / 2)

    palette.window: Theme.dark ? "#2c2c30" : "#fbfbfd"
    palette.windowText: Theme.primaryText
    palette.base: Theme.dark ? "#1c1c1f" : "#ffffff"
    palette.alternateBase: Theme.dark ? "#3a3a3f" : "#ececf0"
    palette.text: Theme.primaryText
    palette.button: Theme.dark ? "#3a3a3f" : "#e4e4e9"
    palette.buttonText: Theme.primaryText
    palette.brightText: Theme.primaryText
    palette.highlight: Theme.accent
    palette.highlightedText: "#ffffff"
    palette.light: Theme.dark ? "#4a4a50" : "#ffffff"
    palette.midlight: Theme.dark ? "#3a3a3f" : "#ececf0"
    palette.mid: Theme.dark ? "#5a5a60" : "#c7c7cc"
    palette.dark: "#8e8e93"
    palette.shadow: "#000000"
    palette.placeholderText: Theme.secondaryText

    background: Rectangle {
        radius: Theme.tileRadius
        color: palette.window
        border.width: Theme.hairline
        border.color: Theme.panelEdge
    }

    // Each opening starts from the top.
    onAboutToShow: body.contentY = 0
    onOpened: jpegQuality.forceActiveFocus(Qt.TabFocusReason)

    component SectionTitle: StyledText {
        font.pixelSize: Theme.textSize
        font.bold: true
    }

    // Taller than a small window: the body scrolls, so the last control is always reachable.
    height: Math.min(implicitHeight, (parent?.height ?? implicitHeight) - Theme.spacing5XL)

    contentItem: Flickable {
        id: body
        implicitWidth: column.implicitWidth
        implicitHeight: column.implicitHeight
        contentWidth: width
        contentHeight: column.implicitHeight
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        // Shown whenever the body scrolls, beside the controls rather than over them.
        ScrollBar.vertical: ScrollBar {
            id: bodyScrollBar
            objectName: "settingsScrollBar"
            policy: body.contentHeight > body.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }

        // The control that takes the keyboard's focus is scrolled into view.
        Connections {
            target: body.Window.window
            function onActiveFocusItemChanged() {
                const item = body.Window.window?.activeFocusItem
                let inside = item
                while (inside && inside !== column)
                    inside = inside.parent
                if (!inside)
                    return
                const top = item.mapToItem(column, 0, 0).y
                if (top < body.contentY)
                    body.contentY = top
                else if (top + item.height > body.contentY + body.height)
                    body.contentY = Math.min(top + item.height - body.height, body.contentHeight - body.height)
            }
        }

        ColumnLayout {
            id: column
            width: body.width - (bodyScrollBar.policy === ScrollBar.AlwaysOn ? bodyScrollBar.width + Theme.spacingS : 0)
            spacing: Theme.spacingXL
            Accessible.role: Accessible.Dialog
            Accessible.name: title.text

            RowLayout {
                Layout.fillWidth: true

                StyledText {
                    id: title
                    objectName: "settingsTitle"
                    Layout.fillWidth: true
                    text: qsTr("设置")
                    font.pixelSize: Theme.panelTitleSize
                    font.bold: true
                }

                Button {
                    id: closeButton
                    objectName: "settingsCloseButton"
                    Layout.preferredWidth: Theme.smallControlSize
                    Layout.preferredHeight: Theme.smallControlSize
                    flat: true
                    padding: 0
                    display: AbstractButton.IconOnly
                    text: qsTr("关闭")
                    icon.source: "icons/xmark.svg"
                    icon.width: Theme.smallIconSize
                    icon.height: Theme.smallIconSize
                    icon.color: Theme.primaryText
                    background: Rectangle {
                        radius: width / 2
                        color: closeButton.hovered || closeButton.visualFocus ? Theme.hoverFill : "transparent"
                        border.width: closeButton.visualFocus ? Theme.dropLineWidth : 0
                        border.color: Theme.accent
                    }
                    Accessible.name: text
                    onClicked: panel.close()
                }
            }

            SectionTitle {
                text: qsTr("输出格式")
            }

            Flow {
                id: outputFormat
                Layout.fillWidth: true
                spacing: Theme.spacingL
                Accessible.role: Accessible.Grouping
                Accessible.name: qsTr("输出格式")

                Repeater {
                    model: [
                        { format: "keep", label: qsTr("与原图相同") },
                        { format: "jpeg", label: "JPEG" },
                        { format: "webp", label: "WebP" },
                        { format: "avif", label: "AVIF" }
                    ]
                    delegate: RadioButton {
                        required property var modelData
                        objectName: "outputFormat_" + modelData.format
                        text: modelData.label
                        checked: panel.settings.outputFormat === modelData.format
                        Accessible.name: text
                        onToggled: if (checked) panel.settings.outputFormat = modelData.format
                    }
                }
            }

            // The quality of the format outputs are written in, each format in its own range.
            SectionTitle {
                id: qualityTitle
                text: panel.settings.outputFormat === "webp" ? qsTr("WebP 质量")
                    : panel.settings.outputFormat === "avif" ? qsTr("AVIF 质量") : qsTr("JPEG 质量")
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: Theme.spacingL
                // Lossless JPEG takes no quality; under JPEG for all, other sources still do. The
                // automatic quality chooses its own.
                enabled: !(panel.settings.jpegLossless && panel.settings.outputFormat === "keep")
                         && !panel.settings.autoQuality
                Slider {
                    id: jpegQuality
                    objectName: "jpegQualitySlider"
                    Layout.fillWidth: true
                    from: panel.settings.minimumQuality
                    to: panel.settings.maximumQuality
                    stepSize: 1
                    snapMode: Slider.SnapAlways
                    value: panel.settings.quality
                    Accessible.name: qualityTitle.text
                    onMoved: panel.settings.quality = Math.round(value)
                }

                StyledText {
                    objectName: "jpegQualityValue"
                    Layout.minimumWidth: Theme.valueLabelWidth
                    horizontalAlignment: Text.AlignRight
                    text: panel.settings.quality
                }
            }

            CheckBox {
                objectName: "autoQualityCheckBox"
                enabled: !(panel.settings.jpegLossless && panel.settings.outputFormat === "keep")
                text: qsTr("自动（看起来一样）")
                checked: panel.settings.autoQuality
                Accessible.name: text
                onToggled: panel.settings.autoQuality = checked
            }

            CheckBox {
                objectName: "jpegLosslessCheckBox"
                // A JPEG stays a JPEG only under these two.
                visible: panel.settings.outputFormat === "keep" || panel.settings.outputFormat === "jpeg"
                text: qsTr("JPEG 只做无损")
                checked: panel.settings.jpegLossless
                Accessible.name: text
                onToggled: panel.settings.jpegLossless = checked
            }

            SectionTitle {
                text: qsTr("PNG 质量范围")
            }

            RowLayout {
                spacing: Theme.spacingML
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
                text: qsTr("缩小到")
            }

            RowLayout {
                spacing: Theme.spacingML

                ComboBox {
                    id: resizeChoice
                    objectName: "maximumSideChoice"
                    readonly property var sides: panel.settings.commonMaximumSides
                    readonly property int customIndex: sides.length + 1
                    // A number of one's own stays one even when it equals a ready choice.
                    property bool customChosen: false
                    function indexOf(side) {
                        if (side === 0)
                            return 0
                        return customChosen || sides.indexOf(side) < 0 ? customIndex : sides.indexOf(side) + 1
                    }
                    Layout.preferredWidth: Theme.choiceWidth
                    model: [qsTr("不缩小")].concat(sides.map(side => qsTr("最长边 %1 像素").arg(side)))
                                          .concat([qsTr("自定义")])
                    currentIndex: indexOf(panel.settings.maximumSide)
                    Accessible.name: qsTr("缩小到")
                    onActivated: index => {
                        customChosen = index === customIndex
                        panel.settings.maximumSide = index === 0 ? 0
                                                   : index < customIndex ? sides[index - 1] : customSide.value
                        currentIndex = Qt.binding(() => indexOf(panel.settings.maximumSide))
                    }
                }

                SpinBox {
                    id: customSide
                    objectName: "maximumSideValue"
                    visible: resizeChoice.currentIndex === resizeChoice.customIndex
                    from: 1
                    to: panel.settings.largestCount
                    editable: true
                    value: panel.settings.maximumSide > 0 ? panel.settings.maximumSide : 1600
                    Accessible.name: qsTr("缩小到") + " " + qsTr("像素")
                    onValueModified: panel.settings.maximumSide = value
                }

                StyledText {
                    visible: customSide.visible
                    text: qsTr("像素")
                }
            }

            SectionTitle {
                text: qsTr("目标大小")
            }

            RowLayout {
                spacing: Theme.spacingML

                CheckBox {
                    id: targetOn
                    objectName: "targetSizeCheckBox"
                    text: qsTr("每个文件不超过")
                    checked: panel.settings.targetKilobytes > 0
                    Accessible.name: qsTr("目标大小")
                    onToggled: panel.settings.targetKilobytes = checked ? targetValue.value : 0
                }

                SpinBox {
                    id: targetValue
                    objectName: "targetSizeValue"
                    enabled: targetOn.checked
                    from: 1
                    to: panel.settings.largestCount
                    editable: true
                    value: panel.settings.targetKilobytes > 0 ? panel.settings.targetKilobytes : 500
                    Accessible.name: qsTr("目标大小") + " kB"
                    onValueModified: panel.settings.targetKilobytes = value
                }

                StyledText {
                    text: "kB"
                }
            }

            SectionTitle {
                text: qsTr("元数据")
            }

            ColumnLayout {
                spacing: Theme.spacing2XS
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

            SectionTitle {
                text: qsTr("保存到")
            }

            ColumnLayout {
                Layout.fillWidth: true
                spacing: Theme.spacing2XS
                Accessible.role: Accessible.Grouping
                Accessible.name: qsTr("保存到")

                RadioButton {
                    objectName: "placement_beside"
                    text: qsTr("原图旁边")
                    checked: panel.settings.outputPlacement === "beside"
                    Accessible.name: text
                    onToggled: if (checked) panel.settings.outputPlacement = "beside"
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: Theme.spacingL

                    // Without a folder yet, choosing this asks for one.
                    RadioButton {
                        id: folderPlacement
                        objectName: "placement_folder"
                        Layout.fillWidth: true
                        text: panel.settings.outputFolder === "" ? qsTr("指定的文件夹")
                                                                  : qsTr("文件夹：%1").arg(panel.settings.outputFolder)
                        checked: panel.settings.outputPlacement === "folder"
                        Accessible.name: text
                        contentItem: StyledText {
                            leftPadding: folderPlacement.indicator.width + folderPlacement.spacing
                            text: folderPlacement.text
                            font: folderPlacement.font
                            elide: Text.ElideMiddle
                            verticalAlignment: Text.AlignVCenter
                        }
                        onToggled: {
                            if (panel.settings.outputFolder === "")
                                folderDialog.open()
                            else
                                panel.settings.outputPlacement = "folder"
                            checked = Qt.binding(() => panel.settings.outputPlacement === "folder")
                        }
                    }

                    Button {
                        objectName: "chooseFolderButton"
                        text: qsTr("选择…")
                        Accessible.name: qsTr("选择保存的文件夹")
                        onClicked: folderDialog.open()
                    }
                }

                RadioButton {
                    objectName: "placement_replace"
                    text: qsTr("替换原图（原图移入回收站）")
                    checked: panel.settings.outputPlacement === "replace"
                    Accessible.name: text
                    onToggled: if (checked) panel.settings.outputPlacement = "replace"
                }
            }

            FolderDialog {
                id: folderDialog
                objectName: "outputFolderDialog"
                title: qsTr("选择保存的文件夹")
                onAccepted: panel.settings.chooseOutputFolder(selectedFolder)
            }

            CheckBox {
                objectName: "notifyCheckBox"
                text: qsTr("完成时通知")
                checked: panel.settings.notifyWhenFinished
                Accessible.name: text
                onToggled: panel.settings.notifyWhenFinished = checked
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: Theme.spacingL

                Button {
                    id: thunarButton
                    objectName: "thunarButton"
                    text: qsTr("添加到 Thunar 右键菜单")
                    Accessible.name: text
                    onClicked: {
                        const outcome = ThunarAction.add()
                        thunarOutcome.text = outcome === ThunarAction.Refused ? ThunarAction.lastError()
                                                                              : qsTr("已添加")
                    }
                }

                StyledText {
                    id: thunarOutcome
                    objectName: "thunarOutcome"
                    Layout.fillWidth: true
                    font.pixelSize: Theme.smallTextSize
                    color: Theme.secondaryText
                    wrapMode: Text.Wrap
                }
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
}

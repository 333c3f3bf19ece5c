// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
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
    padding: Theme.spacing2XL
    width: Math.min(Theme.settingsPanelWidth, (parent?.width ?? Theme.settingsPanelWidth) - 2 * Theme.spacingL)
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

    // Choices and switches a line high, their labels wrapping in a narrow column rather than
    // being cut off.
    component Choice: RadioButton {
        id: choice
        Layout.fillWidth: true
        topPadding: Theme.spacing2XS
        bottomPadding: Theme.spacing2XS
        Accessible.name: text
        contentItem: StyledText {
            leftPadding: choice.indicator.width + choice.spacing
            text: choice.text
            font: choice.font
            wrapMode: Text.Wrap
            verticalAlignment: Text.AlignVCenter
        }
    }
    component Toggle: CheckBox {
        id: toggle
        topPadding: Theme.spacing2XS
        bottomPadding: Theme.spacing2XS
        Accessible.name: text
        contentItem: StyledText {
            leftPadding: toggle.indicator.width + toggle.spacing
            text: toggle.text
            font: toggle.font
            wrapMode: Text.Wrap
            verticalAlignment: Text.AlignVCenter
        }
    }
    // A titled group of controls.
    component Section: ColumnLayout {
        Layout.fillWidth: true
        spacing: Theme.spacingXS
    }

    // Fits the window at its default size in two columns; narrower, one column that scrolls.
    height: Math.min(implicitHeight, (parent?.height ?? implicitHeight) - 2 * Theme.spacingM)
    readonly property bool twoColumns: availableWidth >= Theme.settingsTwoColumnWidth

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
            spacing: Theme.spacingM
            Accessible.role: Accessible.Dialog
            Accessible.name: title.text

            RowLayout {
                Layout.fillWidth: true
                spacing: Theme.spacingL

                StyledText {
                    id: title
                    objectName: "settingsTitle"
                    Layout.fillWidth: true
                    text: qsTr("设置")
                    font.pixelSize: Theme.panelTitleSize
                    font.bold: true
                }

                Button {
                    objectName: "restoreDefaultsButton"
                    Layout.preferredHeight: Theme.controlSize
                    text: qsTr("恢复默认设置")
                    enabled: !panel.settings.isDefault
                    Accessible.name: text
                    onClicked: panel.settings.restoreDefaults()
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

            RowLayout {
                Layout.fillWidth: true
                spacing: Theme.spacingL

                SectionTitle {
                    Layout.alignment: Qt.AlignTop
                    Layout.topMargin: Theme.spacingS
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
                            topPadding: Theme.spacing2XS
                            bottomPadding: Theme.spacing2XS
                            text: modelData.label
                            checked: panel.settings.outputFormat === modelData.format
                            Accessible.name: text
                            onToggled: if (checked) panel.settings.outputFormat = modelData.format
                        }
                    }
                }
            }

            GridLayout {
                Layout.fillWidth: true
                columns: panel.twoColumns ? 2 : 1
                columnSpacing: Theme.spacing5XL
                rowSpacing: Theme.spacingL

                // How much: quality, lossless, size. Both columns share the width equally,
                // whatever their texts.
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    Layout.alignment: Qt.AlignTop
                    spacing: Theme.spacingM

                    // The quality of the format outputs are written in, each format in its own
                    // range, or the automatic one.
                    Section {
                        RowLayout {
                            Layout.fillWidth: true
                            SectionTitle {
                                id: qualityTitle
                                Layout.fillWidth: true
                                text: panel.settings.outputFormat === "webp" ? qsTr("WebP 质量")
                                    : panel.settings.outputFormat === "avif" ? qsTr("AVIF 质量") : qsTr("JPEG 质量")
                            }
                            Toggle {
                                objectName: "autoQualityCheckBox"
                                enabled: !(panel.settings.jpegLossless && panel.settings.outputFormat === "keep")
                                text: qsTr("自动（看起来一样）")
                                checked: panel.settings.autoQuality
                                onToggled: panel.settings.autoQuality = checked
                            }
                        }

                        RowLayout {
                            Layout.fillWidth: true
                            spacing: Theme.spacingL
                            // Lossless JPEG takes no quality; under JPEG for all, other sources
                            // still do. The automatic quality chooses its own.
                            enabled: !(panel.settings.jpegLossless && panel.settings.outputFormat === "keep")
                                     && !panel.settings.autoQuality
                            Slider {
                                id: jpegQuality
                                objectName: "jpegQualitySlider"
                                Layout.fillWidth: true
                                Layout.preferredHeight: Theme.controlSize
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

                        Toggle {
                            objectName: "jpegLosslessCheckBox"
                            Layout.fillWidth: true
                            // A JPEG stays a JPEG only under these two.
                            visible: panel.settings.outputFormat === "keep" || panel.settings.outputFormat === "jpeg"
                            text: qsTr("JPEG 只做无损")
                            checked: panel.settings.jpegLossless
                            onToggled: panel.settings.jpegLossless = checked
                        }
                    }

                    Section {
                        SectionTitle {
                            text: qsTr("PNG 质量范围")
                        }

                        RowLayout {
                            spacing: Theme.spacingML
                            enabled: !panel.settings.pngLossless

                            SpinBox {
                                id: pngMinimum
                                objectName: "pngQualityMinimum"
                                Layout.preferredWidth: Theme.numberFieldWidth
                                Layout.preferredHeight: Theme.controlSize
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
                                Layout.preferredWidth: Theme.numberFieldWidth
                                Layout.preferredHeight: Theme.controlSize
                                from: panel.settings.pngQualityMinimum
                                to: 100
                                editable: true
                                value: panel.settings.pngQualityMaximum
                                Accessible.name: qsTr("PNG 质量范围") + " " + qsTr("最高")
                                onValueModified: panel.settings.pngQualityMaximum = value
                            }
                        }

                        Toggle {
                            objectName: "pngLosslessCheckBox"
                            Layout.fillWidth: true
                            text: qsTr("PNG 只做无损压缩")
                            checked: panel.settings.pngLossless
                            onToggled: panel.settings.pngLossless = checked
                        }
                    }

                    Section {
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
                                Layout.preferredHeight: Theme.controlSize
                                // The list opens in the window's overlay, outside the panel's palette:
                                // its rows take the panel's colours here, or the highlighted one is
                                // white on white.
                                delegate: ItemDelegate {
                                    required property string modelData
                                    required property int index
                                    width: ListView.view.width
                                    text: modelData
                                    font.weight: resizeChoice.currentIndex === index ? Font.DemiBold : Font.Normal
                                    highlighted: resizeChoice.highlightedIndex === index
                                    hoverEnabled: resizeChoice.hoverEnabled
                                    palette.text: panel.palette.text
                                    palette.highlightedText: panel.palette.text
                                    palette.light: panel.palette.alternateBase
                                    palette.midlight: panel.palette.mid
                                }
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

                            CountField {
                                id: customSide
                                objectName: "maximumSideValue"
                                // Beside the list there is room for five digits, more than any picture has a side.
                                Layout.preferredWidth: Theme.numberFieldWidth
                                visible: resizeChoice.currentIndex === resizeChoice.customIndex
                                from: 1
                                to: panel.settings.largestCount
                                value: panel.settings.maximumSide > 0 ? panel.settings.maximumSide : 1600
                                Accessible.name: qsTr("缩小到") + " " + qsTr("像素")
                                onValueModified: panel.settings.maximumSide = value
                            }
                        }
                    }

                    Section {
                        SectionTitle {
                            text: qsTr("目标大小")
                        }

                        RowLayout {
                            spacing: Theme.spacingML

                            Toggle {
                                id: targetOn
                                objectName: "targetSizeCheckBox"
                                text: qsTr("每个文件不超过")
                                checked: panel.settings.targetKilobytes > 0
                                Accessible.name: qsTr("目标大小")
                                onToggled: panel.settings.targetKilobytes = checked ? targetValue.value : 0
                            }

                            CountField {
                                id: targetValue
                                objectName: "targetSizeValue"
                                enabled: targetOn.checked
                                from: 1
                                to: panel.settings.largestCount
                                value: panel.settings.targetKilobytes > 0 ? panel.settings.targetKilobytes : 500
                                Accessible.name: qsTr("目标大小") + " kB"
                                onValueModified: panel.settings.targetKilobytes = value
                            }

                            StyledText {
                                text: "kB"
                            }
                        }
                    }
                }

                // What else the output keeps, and where it goes.
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    Layout.alignment: Qt.AlignTop
                    spacing: Theme.spacingM

                    Section {
                        Accessible.role: Accessible.Grouping
                        Accessible.name: qsTr("元数据")

                        SectionTitle {
                            text: qsTr("元数据")
                        }

                        Repeater {
                            model: [
                                { policy: "strip", label: qsTr("全部去除") },
                                { policy: "camera", label: qsTr("保留拍摄信息，去除位置") },
                                { policy: "all", label: qsTr("全部保留") }
                            ]
                            delegate: Choice {
                                required property var modelData
                                objectName: "metadata_" + modelData.policy
                                text: modelData.label
                                checked: panel.settings.metadataPolicy === modelData.policy
                                onToggled: if (checked) panel.settings.metadataPolicy = modelData.policy
                            }
                        }

                        Toggle {
                            objectName: "keepDatesCheckBox"
                            Layout.fillWidth: true
                            text: qsTr("保留原文件的修改时间")
                            checked: panel.settings.keepModificationDate
                            onToggled: panel.settings.keepModificationDate = checked
                        }
                    }

                    Section {
                        Accessible.role: Accessible.Grouping
                        Accessible.name: qsTr("保存到")

                        SectionTitle {
                            text: qsTr("保存到")
                        }

                        Choice {
                            objectName: "placement_beside"
                            text: qsTr("原图旁边")
                            checked: panel.settings.outputPlacement === "beside"
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
                                topPadding: Theme.spacing2XS
                                bottomPadding: Theme.spacing2XS
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
                                        folderDialog.chooseFolders()
                                    else
                                        panel.settings.outputPlacement = "folder"
                                    checked = Qt.binding(() => panel.settings.outputPlacement === "folder")
                                }
                            }

                            Button {
                                objectName: "chooseFolderButton"
                                Layout.preferredHeight: Theme.controlSize
                                text: qsTr("选择…")
                                Accessible.name: qsTr("选择保存的文件夹")
                                onClicked: folderDialog.chooseFolders()
                            }
                        }

                        Choice {
                            objectName: "placement_replace"
                            text: qsTr("替换原图（原图移入回收站）")
                            checked: panel.settings.outputPlacement === "replace"
                            onToggled: if (checked) panel.settings.outputPlacement = "replace"
                        }
                    }

                    Toggle {
                        objectName: "notifyCheckBox"
                        Layout.fillWidth: true
                        text: qsTr("完成时通知")
                        checked: panel.settings.notifyWhenFinished
                        onToggled: panel.settings.notifyWhenFinished = checked
                    }

                    Section {
                        Button {
                            id: thunarButton
                            objectName: "thunarButton"
                            Layout.preferredHeight: Theme.controlSize
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
                            visible: text !== ""
                            font.pixelSize: Theme.smallTextSize
                            color: Theme.secondaryText
                            wrapMode: Text.Wrap
                        }
                    }
                }
            }

            OpenDialog {
                id: folderDialog
                objectName: "outputFolderDialog"
                parentWindow: column.Window.window
                folder: panel.settings.outputFolder === ""
                        ? "" : "file://" + panel.settings.outputFolder.split("/").map(encodeURIComponent).join("/")
                multiple: false
                title: qsTr("选择保存的文件夹")
                windowColor: Theme.window
                accentColor: Theme.accent
                onChosen: urls => {
                    if (urls.length > 0)
                        panel.settings.chooseOutputFolder(urls[0])
                }
            }
        }
    }
}

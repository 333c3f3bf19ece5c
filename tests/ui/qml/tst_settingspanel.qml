// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtTest
import Pressel

// The panel's resize and target size choices reach the saved settings, and come back from them.
Item {
    id: host
    width: 600
    height: 900

    TestCase {
        name: "SettingsPanel"
        when: windowShown

        Component {
            id: panelComponent
            SettingsPanel {
                settings: CompressionSettingsModel {}
            }
        }

        function test_resizeAndTarget() {
            const panel = createTemporaryObject(panelComponent, host)
            panel.open()
            tryVerify(() => panel.opened)
            const settings = panel.settings
            settings.restoreDefaults() // whatever an earlier run saved
            const choice = findChild(panel, "maximumSideChoice")
            const custom = findChild(panel, "maximumSideValue")
            compare(choice.currentText, "不缩小")
            compare(settings.maximumSide, 0)

            choice.activated(2)
            compare(settings.maximumSide, 1920)
            compare(choice.currentIndex, 2)
            verify(!custom.visible)
            choice.activated(choice.count - 1)
            verify(custom.visible)
            compare(settings.maximumSide, custom.value)

            const target = findChild(panel, "targetSizeCheckBox")
            mouseClick(target)
            compare(settings.targetKilobytes, findChild(panel, "targetSizeValue").value)

            settings.restoreDefaults()
            compare(choice.currentIndex, 0)
            verify(!target.checked)
            compare(settings.targetKilobytes, 0)
        }

        // At the window's default size everything is in sight at once, in two columns.
        function test_fitsTheDefaultWindow() {
            const panel = createTemporaryObject(panelComponent, host, { parent: defaultWindow })
            panel.open()
            tryVerify(() => panel.opened)
            verify(panel.twoColumns)
            verify(panel.contentItem.contentHeight <= panel.contentItem.height,
                   panel.contentItem.contentHeight + " > " + panel.contentItem.height)
            compare(findChild(panel, "settingsScrollBar").policy, ScrollBar.AlwaysOff)
        }

        // In a window too small for it, the panel scrolls with its bar in sight, and each
        // opening starts at the top.
        function test_scrollsFromTheTop() {
            const panel = createTemporaryObject(panelComponent, host, { parent: smallWindow })
            panel.open()
            tryVerify(() => panel.opened)
            verify(findChild(panel, "settingsScrollBar").contentItem.opacity > 0)
            panel.contentItem.contentY = 300
            panel.close()
            tryVerify(() => !panel.visible)
            panel.open()
            tryVerify(() => panel.opened)
            compare(panel.contentItem.contentY, 0)
        }
    }

    Item {
        id: defaultWindow
        width: 720
        height: 520
    }

    Item {
        id: smallWindow
        width: 560
        height: 480
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
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
    }
}

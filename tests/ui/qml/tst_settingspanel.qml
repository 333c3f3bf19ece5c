import QtQuick
import QtTest
import Pressel

// The settings panel in the window's content, with the real saved settings (the test's own
// configuration folder): how it opens and closes, that the keyboard reaches every control and
// that what is chosen is what the next reader of the saved settings finds.
Item {
    id: host
    width: 800
    height: 640

    property bool processing: false

    ContentView {
        id: content
        anchors.fill: parent
        focus: true
        viewModel: QtObject {
            property bool isProcessing: host.processing
            property bool isDropTargeted: false
            property var results: null
            function handleDroppedFiles(urls) { return false }
            function clearResults() {}
        }
        dockFileDropRelay: QtObject {
            signal didEnqueue()
            function consumePendingURLs() { return [] }
        }
    }

    Component {
        id: savedSettings
        CompressionSettingsModel {}
    }

    TestCase {
        name: "SettingsPanel"
        when: windowShown

        readonly property var panel: findChild(content, "settingsPanel")

        function control(name) {
            return findChild(panel.contentItem, name)
        }

        function init() {
            content.settings.restoreDefaults()
            host.processing = false
            content.forceActiveFocus()
        }

        function cleanup() {
            panel.close()
            tryVerify(() => !panel.visible)
        }

        function test_opensAndClosesWithEscape_data() {
            return [
                { tag: "gear in the drop zone", button: "dropZoneSettingsButton", processing: false },
                { tag: "gear in the header", button: "headerSettingsButton", processing: true },
                { tag: "Ctrl+,", button: "", processing: false },
            ]
        }

        function test_opensAndClosesWithEscape(data) {
            host.processing = data.processing
            if (data.button === "") {
                keyClick(Qt.Key_Comma, Qt.ControlModifier)
            } else {
                const button = findChild(content, data.button)
                tryVerify(() => button.visible && button.enabled && button.opacity === 1)
                compare(button.Accessible.name, "设置")
                mouseClick(button)
            }
            tryVerify(() => panel.opened)
            verify(control("jpegQualitySlider").activeFocus)
            keyClick(Qt.Key_Escape)
            tryVerify(() => !panel.visible)
        }

        function test_keyboardReachesEveryControl() {
            keyClick(Qt.Key_Comma, Qt.ControlModifier)
            tryVerify(() => panel.opened)
            const wanted = ["jpegQualitySlider", "pngQualityMinimum", "pngQualityMaximum", "pngLosslessCheckBox",
                            "metadata_strip", "metadata_camera", "metadata_all", "keepDatesCheckBox",
                            "settingsCloseButton"]
            const reached = {}
            for (let i = 0; i < 20; ++i) {
                let item = host.Window.activeFocusItem
                while (item && item.objectName === "")
                    item = item.parent
                if (item) {
                    reached[item.objectName] = true
                    verify(item.Accessible.name.length > 0, item.objectName)
                }
                keyClick(Qt.Key_Tab)
            }
            for (const name of wanted)
                verify(reached[name], name + " not reached with Tab")
            // The restore button takes focus only once there is something to restore.
            verify(!control("restoreDefaultsButton").enabled)
        }

        function test_choicesAreSavedForTheNextReader() {
            keyClick(Qt.Key_Comma, Qt.ControlModifier)
            tryVerify(() => panel.opened)
            keyClick(Qt.Key_Right) // the slider has the focus
            keyClick(Qt.Key_Right)
            compare(control("jpegQualityValue").text, "77")
            mouseClick(control("metadata_camera"))
            mouseClick(control("keepDatesCheckBox"))
            const minimum = control("pngQualityMinimum")
            minimum.forceActiveFocus()
            keyClick(Qt.Key_Up)
            mouseClick(control("pngLosslessCheckBox"))
            verify(!minimum.enabled) // the range is pngquant's, and lossless leaves pngquant out

            let saved = savedSettings.createObject(host)
            compare(saved.jpegQuality, 77)
            compare(saved.metadataPolicy, "camera")
            compare(saved.keepModificationDate, true)
            compare(saved.pngLossless, true)
            compare(saved.pngQualityMinimum, 61)
            compare(saved.pngQualityMaximum, 80)
            saved.destroy()

            const restore = control("restoreDefaultsButton")
            verify(restore.enabled)
            mouseClick(restore)
            saved = savedSettings.createObject(host)
            verify(saved.isDefault)
            compare(control("jpegQualityValue").text, "75")
            verify(control("metadata_strip").checked)
            saved.destroy()
        }
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import Pressel
import PresselTest

// The window's content at its sizes and under the keyboard and pointer, driven by a stand-in
// for the batch controller.
Item {
    id: host
    width: 720
    height: 520

    // What the view reads of the batch controller; the rest falls back to its defaults.
    QtObject {
        id: batch
        property bool isProcessing
        property var results: ListModel {}
    }

    ContentView {
        id: view
        anchors.fill: parent
        focus: true
        viewModel: batch
    }

    TestCase {
        name: "ContentView"
        when: windowShown

        property url photo
        property url graphic

        function initTestCase() {
            photo = UiTestSupport.writePhoto("photo.jpg", 400, 300)
            graphic = UiTestSupport.writePhoto("graphic.png", 400, 300)
        }

        function cleanup() {
            batch.isProcessing = false
            batch.results.clear()
            tryVerify(() => rows().length === 0)
            host.width = 720
            view.forceActiveFocus()
        }

        function addRows(count, source) {
            const folder = "/home/someone/" + "一个名字很长的文件夹/".repeat(8)
            for (let i = 0; i < count; ++i)
                batch.results.append({ sourceURL: source ?? photo, originalURL: source ?? photo, fileName: "photo.jpg",
                                       outputURL: photo, outputPath: folder + "photo-1.jpg", originalBytes: 2000000,
                                       compressedBytes: 1200000, status: ResultStatus.Success, message: "",
                                       conversion: "", lossless: false, resize: "", chosenQuality: 75 })
            tryVerify(() => !findChild(view, "dropZoneFace").visible && rows().length > 0)
        }

        function rows() {
            const list = findChild(view, "resultList")
            return Array.from(list.contentItem.children).filter(child => child.objectName === "resultRow")
                                                        .sort((a, b) => a.y - b.y)
        }

        // The gear stays put from the drop zone to the results; a transparent thumbnail shows a
        // checkerboard; a long path keeps its file name; a wide window keeps the rows within
        // reach of their buttons.
        function test_layout() {
            const gear = findChild(view, "settingsButton")
            const place = () => gear.mapToItem(view, 0, 0)
            const inDropZone = place()
            batch.isProcessing = true
            tryCompare(view, "face", "processing")
            compare(place(), inDropZone)
            addRows(1, graphic)
            batch.isProcessing = false
            tryCompare(view, "face", "results")
            compare(place(), inDropZone)
            verify(gear.visible)
            const thumbnail = findChild(rows()[0], "thumbnail")
            tryCompare(thumbnail, "status", Image.Ready)
            waitForRendering(thumbnail)
            compare(grabImage(thumbnail).pixel(12, 12), Qt.rgba(1, 1, 1, 1))
            const detail = findChild(rows()[0], "detail")
            verify(detail.truncated)
            verify(detail.shownText.endsWith("-1.jpg"), detail.shownText)
            host.width = 2000
            verify(findChild(view, "resultList").width <= Theme.contentMaximumWidth)
            host.width = 720
            // A click anywhere on the row compares it.
            mouseClick(findChild(rows()[0], "fileName"))
            verify(view.isComparing)
        }

        // The bar shows only for a list that scrolls, and its handle stays large enough to catch.
        function test_scrollBar_data() {
            return [ { tag: "one row", rows: 1, shown: false }, { tag: "sixty rows", rows: 60, shown: true } ]
        }

        function test_scrollBar(data) {
            addRows(data.rows)
            const handle = findChild(view, "scrollHandle")
            compare(handle.parent.visible, data.shown)
            if (data.shown)
                verify(handle.height >= Theme.scrollHandleMinimumLength - 1, handle.height)
        }

        function test_keys() {
            addRows(60)
            const list = findChild(view, "resultList")
            rows()[0].forceActiveFocus()
            // The list only estimates the height of rows it never laid out: the last row in view
            // is the end.
            const shown = index => rows().some(row => row.index === index && row.y >= list.contentY
                                                      && row.y + row.height <= list.contentY + list.height)
            keyClick(Qt.Key_End)
            tryVerify(() => shown(59))
            keyClick(Qt.Key_Home)
            tryVerify(() => shown(0))

            // Tab and Shift+Tab walk one chain, both ways, and the focus never leaves it.
            view.forceActiveFocus()
            const chain = []
            for (let i = 0; i < 6; ++i) {
                keyClick(Qt.Key_Tab)
                chain.push(host.Window.activeFocusItem)
            }
            for (let i = 4; i >= 0; --i) {
                keyClick(Qt.Key_Backtab, Qt.ShiftModifier)
                compare(host.Window.activeFocusItem, chain[i], "step " + i)
            }
        }
    }
}

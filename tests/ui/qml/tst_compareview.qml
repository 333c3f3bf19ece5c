import QtQuick
import QtTest
import Pressel
import PresselTest

// The before/after view: opening it from a row, the divider under keys and mouse, zoom and the
// way back to the list.
Item {
    id: host
    width: 800
    height: 600

    TestCase {
        name: "CompareView"
        when: windowShown

        property url photo

        function initTestCase() {
            photo = UiTestSupport.writePhoto("compare.jpg", 400, 300)
        }

        Component {
            id: compareViewComponent

            CompareView {
                width: 720
                height: 520
                fileName: "compare.jpg"
                originalBytes: 2000000
                compressedBytes: 1300000
            }
        }

        Component {
            id: fakeViewModelComponent

            QtObject {
                property bool isProcessing: false
                property bool isDropTargeted: false
                property var results: UiTestSupport.makeResultModel()
                function handleDroppedFiles(urls) { return false }
                function clearResults() {}
            }
        }

        Component {
            id: contentViewComponent

            ContentView {
                width: 720
                height: 520
                dockFileDropRelay: QtObject {
                    signal didEnqueue()
                    function consumePendingURLs() { return [] }
                }
            }
        }

        function makeView() {
            const view = createTemporaryObject(compareViewComponent, host, { sourceURL: photo, outputURL: photo })
            view.forceActiveFocus()
            tryVerify(() => view.hasImage)
            tryVerify(() => findChild(view, "sourcePicture").ready && findChild(view, "outputPicture").ready)
            return view
        }

        function test_labels() {
            const view = makeView()
            compare(findChild(view, "sourceLabel").text, "原图 · 2 MB")
            compare(findChild(view, "outputLabel").text, "压缩后 · 1.3 MB（35%）")
            compare(findChild(view, "zoomReadout").text, Math.round(view.fitScale * 100) + "%")
        }

        function test_divider_data() {
            // x: where the left button goes down, relative to the picture's left edge and width.
            return [
                { tag: "key 1", key: Qt.Key_1, fraction: 0 },
                { tag: "key 2", key: Qt.Key_2, fraction: 0.5 },
                { tag: "key 3", key: Qt.Key_3, fraction: 1 },
                { tag: "press at a quarter", press: 0.25, fraction: 0.25 },
                { tag: "drag to three quarters", press: 0.25, drag: 0.75, fraction: 0.75 },
                { tag: "drag beyond the picture", press: 0.5, drag: 1.05, fraction: 1 },
                { tag: "drag before the picture", press: 0.5, drag: -0.05, fraction: 0 },
            ]
        }

        function test_divider(data) {
            const view = makeView()
            const pointer = findChild(view, "comparePointer")
            const left = view.pictureLeft, span = view.pictureRight - view.pictureLeft
            const y = pointer.height / 2
            view.dividerFraction = 0.6
            if (data.key !== undefined) {
                keyClick(data.key)
            } else {
                mousePress(pointer, left + data.press * span, y)
                if (data.drag !== undefined) {
                    mouseMove(pointer, left + (data.press + data.drag) / 2 * span, y)
                    mouseMove(pointer, left + data.drag * span, y)
                }
                mouseRelease(pointer, left + (data.drag ?? data.press) * span, y)
            }
            fuzzyCompare(view.dividerFraction, data.fraction, 0.01)
            fuzzyCompare(findChild(view, "divider").x + 1, view.dividerX, 1)
            compare(findChild(view, "outputSide").x, view.dividerX)

            // The fraction holds as the window changes size, and the divider moves with the picture.
            view.width = 500
            fuzzyCompare(view.dividerFraction, data.fraction, 0.01)
            fuzzyCompare(view.dividerX, view.pictureLeft + data.fraction * (view.pictureRight - view.pictureLeft), 0.5)
        }

        function test_zoomAndPan() {
            const view = makeView()
            const pointer = findChild(view, "comparePointer")
            // 100 %: one image pixel per device pixel.
            keyClick(Qt.Key_1, Qt.ControlModifier)
            compare(view.zoom, 1)
            compare(findChild(view, "zoomReadout").text, "100%")
            for (let i = 0; i < 4; ++i)
                keyClick(Qt.Key_Plus)
            fuzzyCompare(view.zoom, Math.pow(1.25, 4), 1e-9)
            // Both sides show their visible part decoded at full resolution.
            const sourcePicture = findChild(view, "sourcePicture"), outputPicture = findChild(view, "outputPicture")
            tryVerify(() => sourcePicture.showsDetail && outputPicture.showsDetail)
            compare(sourcePicture.detailScale, 1)
            compare(outputPicture.detailScale, 1)
            // The wheel keeps the image pixel under the pointer where it is.
            const px = pointer.width / 2 + 30, py = pointer.height / 2 - 20
            const imageX = (px - view.offsetX) / view.pictureScale, imageY = (py - view.offsetY) / view.pictureScale
            mouseWheel(pointer, px, py, 0, -120)
            fuzzyCompare(view.zoom, Math.pow(1.25, 3), 1e-9)
            // (Events reach the window at whole pixels.)
            fuzzyCompare((px - view.offsetX) / view.pictureScale, imageX, 0.5)
            fuzzyCompare((py - view.offsetY) / view.pictureScale, imageY, 0.5)
            // A middle-button drag pans and leaves the divider where it was.
            const fraction = view.dividerFraction, offsetX = view.offsetX
            mousePress(pointer, 300, 200, Qt.MiddleButton)
            mouseMove(pointer, 340, 200, -1, Qt.MiddleButton)
            mouseRelease(pointer, 340, 200, Qt.MiddleButton)
            compare(view.dividerFraction, fraction)
            fuzzyCompare(view.offsetX, Math.min(0, offsetX + 40), 0.01)
            // So does a left-button drag while Space is held; without Space it moves the divider.
            const offsetY = view.offsetY
            keyPress(Qt.Key_Space)
            mousePress(pointer, 300, 200, Qt.LeftButton)
            mouseMove(pointer, 300, 170, -1, Qt.LeftButton)
            mouseRelease(pointer, 300, 170, Qt.LeftButton)
            keyRelease(Qt.Key_Space)
            compare(view.dividerFraction, fraction)
            fuzzyCompare(view.offsetY, offsetY - 30, 0.01)
            keyClick(Qt.Key_0, Qt.ControlModifier)
            compare(view.pictureScale, view.fitScale)
        }

        function test_opensFromSuccessfulRowsAndReturnsToTheList_data() {
            return [
                { tag: "success", status: "success", opens: true },
                { tag: "skipped", status: "skipped", opens: false },
                { tag: "failed", status: "failed", opens: false },
            ]
        }

        function test_opensFromSuccessfulRowsAndReturnsToTheList(data) {
            const viewModel = createTemporaryObject(fakeViewModelComponent, host)
            const content = createTemporaryObject(contentViewComponent, host, { viewModel: viewModel })
            const path = photo.toString().substring("file://".length)
            const rows = []
            for (let i = 0; i < 12; ++i) {
                rows.push(data.status === "success"
                          ? { sourcePath: path, outputPath: path, originalBytes: 2000000, compressedBytes: 1300000,
                              status: "success" }
                          : { sourcePath: path, originalBytes: 2000000, status: data.status, message: "-" })
            }
            UiTestSupport.setRows(viewModel.results, rows)
            tryCompare(findChild(content, "resultsFace"), "opacity", 1)
            const list = findChild(content, "resultList")
            list.positionViewAtIndex(8, ListView.Beginning)
            const contentY = list.contentY
            const row = list.itemAtIndex(8)
            const action = findChild(row, "compareButton")
            compare(action.visible, data.opens)
            if (!data.opens)
                return
            compare(action.Accessible.name, "对比原图")
            action.forceActiveFocus()
            keyClick(Qt.Key_Return)
            verify(content.isComparing)
            const compareView = findChild(content, "compareView")
            tryVerify(() => compareView !== null && compareView.activeFocus)
            keyClick(Qt.Key_Escape)
            verify(!content.isComparing)
            tryCompare(findChild(content, "mainLayoutFace"), "opacity", 1)
            compare(list.contentY, contentY)
            verify(action.activeFocus)

            mouseClick(action)
            verify(content.isComparing)
            tryCompare(findChild(content, "compareFace"), "opacity", 1)
            mouseClick(findChild(content, "backButton"))
            verify(!content.isComparing)
        }
    }
}

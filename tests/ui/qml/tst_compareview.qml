// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import Pressel
import PresselTest

// The before/after view: its labels, the divider under keys and mouse, and panning.
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
            compare(findChild(view, "outputLabel").text, "压缩后 · 1.3 MB · −35%")
            compare(findChild(view, "zoomReadout").text, Math.round(view.fitScale * 100) + "%")
            // One line at the window's default width, leaving the picture its room.
            compare(findChild(view, "compareHint").lineCount, 1)
            const checkerboard = findChild(view, "checkerboard")
            compare(Qt.rect(checkerboard.x, checkerboard.y, checkerboard.width, checkerboard.height),
                    Qt.rect(view.offsetX, view.offsetY, 400 * view.pictureScale, 300 * view.pictureScale))
        }

        function test_divider_data() {
            // press, drag: where the left button goes down and where it is dragged to, relative to
            // the picture's left edge and width; the divider starts at 0.6.
            return [
                { tag: "key 1: the source", key: Qt.Key_1, fraction: 1 },
                { tag: "key 2", key: Qt.Key_2, fraction: 0.5 },
                { tag: "key 3: the output", key: Qt.Key_3, fraction: 0 },
                { tag: "press beside the handle", press: 0.25, drag: 0.75, fraction: 0.6 },
                { tag: "handle to three quarters", press: 0.6, drag: 0.75, fraction: 0.75 },
                { tag: "handle beyond the picture", press: 0.6, drag: 1.05, fraction: 1 },
                { tag: "handle before the picture", press: 0.6, drag: -0.05, fraction: 0 },
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
                mouseMove(pointer, left + (data.press + data.drag) / 2 * span, y)
                mouseMove(pointer, left + data.drag * span, y)
                mouseRelease(pointer, left + data.drag * span, y)
            }
            fuzzyCompare(view.dividerFraction, data.fraction, 0.01)
            fuzzyCompare(findChild(view, "divider").x + 1, view.dividerX, 1)
            compare(findChild(view, "outputSide").x, view.dividerX)

            // The fraction holds as the window changes size, and the divider moves with the picture.
            view.width = 500
            fuzzyCompare(view.dividerFraction, data.fraction, 0.01)
            fuzzyCompare(view.dividerX, view.pictureLeft + data.fraction * (view.pictureRight - view.pictureLeft), 0.5)
        }

        // Zoomed in, a drag of the picture with the middle or the left button pans, and so do the
        // arrow keys; none of them moves the divider.
        function test_panLeavesTheDivider() {
            const view = makeView()
            const pointer = findChild(view, "comparePointer")
            keyClick(Qt.Key_1, Qt.ControlModifier)
            for (let i = 0; i < 4; ++i)
                keyClick(Qt.Key_Plus)
            const fraction = view.dividerFraction, offsetX = view.offsetX, offsetY = view.offsetY
            mousePress(pointer, 300, 200, Qt.MiddleButton)
            mouseMove(pointer, 340, 200, -1, Qt.MiddleButton)
            mouseRelease(pointer, 340, 200, Qt.MiddleButton)
            fuzzyCompare(view.offsetX, Math.min(0, offsetX + 40), 0.01)
            mousePress(pointer, 300, 200, Qt.LeftButton)
            mouseMove(pointer, 300, 170, -1, Qt.LeftButton)
            mouseRelease(pointer, 300, 170, Qt.LeftButton)
            fuzzyCompare(view.offsetY, offsetY - 30, 0.01)
            keyClick(Qt.Key_Down)
            fuzzyCompare(view.offsetY, offsetY - 30 - pointer.height / 10, 0.01)
            keyClick(Qt.Key_Left)
            fuzzyCompare(view.offsetX, Math.min(0, offsetX + 40 + pointer.width / 10), 0.01)
            compare(view.dividerFraction, fraction)
        }
    }
}

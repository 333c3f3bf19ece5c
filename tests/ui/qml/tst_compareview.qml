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

        // Zoomed in, a middle-button drag pans, and so does a left-button drag with Space held;
        // neither moves the divider.
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
            keyPress(Qt.Key_Space)
            mousePress(pointer, 300, 200, Qt.LeftButton)
            mouseMove(pointer, 300, 170, -1, Qt.LeftButton)
            mouseRelease(pointer, 300, 170, Qt.LeftButton)
            keyRelease(Qt.Key_Space)
            fuzzyCompare(view.offsetY, offsetY - 30, 0.01)
            compare(view.dividerFraction, fraction)
        }
    }
}

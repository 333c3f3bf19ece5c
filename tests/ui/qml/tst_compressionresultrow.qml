import QtQuick
import QtQuick.Controls.Basic
import QtTest
import Pressel
import PresselTest

// One result row, built from the same values the row model hands to the list.
Item {
    id: host
    width: 800
    height: 400

    TestCase {
        id: testCase
        name: "CompressionResultRow"
        when: windowShown

        Component {
            id: rowComponent

            CompressionResultRow {
                width: 640
            }
        }

        // Role values as CompressionResultListModel gives them: absent values are undefined.
        function makeRow(values) {
            const source = values.sourcePath || "/photos/海边日落.jpg"
            const properties = {
                sourceURL: "file://" + source,
                fileName: source.substring(source.lastIndexOf("/") + 1),
                outputURL: values.outputPath !== undefined ? "file://" + values.outputPath : undefined,
                outputPath: values.outputPath,
                originalBytes: values.originalBytes !== undefined ? values.originalBytes : 1000000,
                compressedBytes: values.compressedBytes,
                status: values.status,
                message: values.message,
            }
            const row = createTemporaryObject(rowComponent, host, properties)
            verify(row !== null, "row could not be created")
            return row
        }

        function test_badge_data() {
            const blue = Theme.blue, orange = Theme.withAlpha(Theme.orange, 0.9), red = Theme.withAlpha(Theme.red, 0.9)
            return [
                { tag: "success", status: "success", compressedBytes: 650000, text: "↓ 35%", colour: blue },
                { tag: "success below half a percent", status: "success", compressedBytes: 996000, text: "↓ 0%",
                  colour: blue },
                { tag: "success with originalBytes 0", status: "success", originalBytes: 0, compressedBytes: 0,
                  text: "失败", colour: red },
                { tag: "success without compressedBytes", status: "success", text: "失败", colour: red },
                { tag: "skipped", status: "skipped", text: "跳过", colour: orange },
                { tag: "failed", status: "failed", text: "失败", colour: red },
            ]
        }

        function test_badge(data) {
            const row = makeRow({ status: data.status, originalBytes: data.originalBytes,
                                  compressedBytes: data.compressedBytes,
                                  outputPath: data.status === "success" ? "/photos/out.jpg" : undefined })
            const badge = findChild(row, "badge")
            compare(badge.text, data.text)
            verify(Qt.colorEqual(badge.color, data.colour), badge.color + " is not " + data.colour)
            const symbol = { success: "checkmark", skipped: "minus", failed: "xmark" }[data.status]
            verify(findChild(row, "statusSymbol").source.toString().endsWith("icons/" + symbol + ".circle.fill.svg"))
        }

        function test_sizes_data() {
            return [
                { tag: "success", status: "success", originalBytes: 1500000, compressedBytes: 975000,
                  text: "1.5 MB → 975 kB" },
                { tag: "skipped", status: "skipped", originalBytes: 2400000, compressedBytes: undefined,
                  text: "2.4 MB → -" },
                { tag: "failed, empty file", status: "failed", originalBytes: 0, compressedBytes: undefined,
                  text: "0 kB → -" },
            ]
        }

        function test_sizes(data) {
            const row = makeRow({ status: data.status, originalBytes: data.originalBytes,
                                  compressedBytes: data.compressedBytes })
            compare(findChild(row, "sizes").text, data.text)
        }

        function test_detailLine_data() {
            return [
                { tag: "output present", status: "success", outputPath: "/photos/海边日落-1.jpg", message: undefined,
                  text: "/photos/海边日落-1.jpg" },
                { tag: "success without output", status: "success", outputPath: undefined, message: undefined,
                  text: "-" },
                { tag: "skipped with message", status: "skipped", outputPath: undefined,
                  message: "压缩后体积未变小，已保留原图", text: "压缩后体积未变小，已保留原图" },
                { tag: "failed with message", status: "failed", outputPath: undefined,
                  message: "无法读取图片", text: "无法读取图片" },
                { tag: "failed without message", status: "failed", outputPath: undefined, message: undefined,
                  text: "-" },
            ]
        }

        function test_detailLine(data) {
            const row = makeRow({ status: data.status, outputPath: data.outputPath, message: data.message,
                                  compressedBytes: data.outputPath !== undefined ? 500000 : undefined })
            compare(findChild(row, "detail").text, data.text)
        }

        function test_longDetailIsCutToTwoLinesButCopiesWhole() {
            const longPath = "/home/user/Pictures/" + "很长的文件夹名称/".repeat(12) + "final-output-image-1.jpg"
            const row = makeRow({ status: "success", outputPath: longPath, compressedBytes: 400000 })
            const detail = findChild(row, "detail")
            const edit = findChild(detail, "detailEdit")
            verify(detail.truncated)
            verify(edit.text.endsWith("…"), edit.text)
            verify(edit.lineCount <= 2, "lines: " + edit.lineCount)
            verify(longPath.startsWith(edit.text.slice(0, -1)))

            // Selecting gives the whole path, never the shortened one.
            edit.forceActiveFocus()
            compare(edit.text, longPath)
            edit.selectAll()
            compare(edit.selectedText, longPath)
            verify(detail.height <= detail.lineHeight * 2 + 1)
        }

        function test_revealShowsOutputOrSource_data() {
            return [
                { tag: "success", status: "success", outputPath: "/photos/out-1.jpg", target: "file:///photos/out-1.jpg" },
                { tag: "skipped", status: "skipped", outputPath: undefined, target: "file:///photos/in.jpg" },
                { tag: "failed", status: "failed", outputPath: undefined, target: "file:///photos/in.jpg" },
            ]
        }

        function test_revealShowsOutputOrSource(data) {
            const row = makeRow({ status: data.status, sourcePath: "/photos/in.jpg", outputPath: data.outputPath,
                                  compressedBytes: data.outputPath ? 10 : undefined })
            compare(row.revealTarget.toString(), data.target)
        }

        function test_thumbnailIsDecodedSmallAndOffTheGuiThread() {
            const source = UiTestSupport.writePhoto("large.jpg", 4000, 3000)
            const row = makeRow({ status: "success", sourcePath: source.toString().substring(7),
                                  outputPath: "/photos/large-1.jpg", compressedBytes: 10 })
            const thumbnail = findChild(row, "thumbnail")
            verify(thumbnail.asynchronous)
            tryCompare(thumbnail, "status", Image.Ready, 20000)
            // Scaled while decoding: the picture held is thumbnail-sized, not 4000 by 3000.
            compare(thumbnail.implicitHeight, 160)
            verify(thumbnail.implicitWidth <= 240, "width " + thumbnail.implicitWidth)
            verify(!findChild(row, "photoSymbol").visible)
        }

        function test_unreadableSourceShowsPhotoSymbol() {
            const row = makeRow({ status: "failed", sourcePath: UiTestSupport.temporaryPath("missing.jpg"),
                                  message: "无法读取图片" })
            const thumbnail = findChild(row, "thumbnail")
            tryCompare(thumbnail, "status", Image.Error, 10000)
            verify(findChild(row, "photoSymbol").visible)
            verify(!thumbnail.visible)
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtTest
import Pressel
import PresselTest

// ContentView against a fake batch controller (same properties and methods as
// CompressionViewModel, with a real row model) and a fake relay.
Item {
    id: host
    width: 800
    height: 600

    TestCase {
        id: testCase
        name: "ContentView"
        when: windowShown

        Component {
            id: fakeViewModelComponent

            QtObject {
                property bool isProcessing: false
                property bool isDropTargeted: false
                property var results: UiTestSupport.makeResultModel()
                property var handledBatches: []
                property int clearCount: 0

                // As the controller does: only file URLs count; none means no batch.
                function handleDroppedFiles(urls) {
                    const batch = []
                    for (let i = 0; i < urls.length; ++i)
                        batch.push(urls[i].toString())
                    handledBatches.push(batch)
                    const files = batch.filter(url => url.startsWith("file:"))
                    if (files.length === 0)
                        return false
                    UiTestSupport.setRows(results, [])
                    isProcessing = true
                    return true
                }

                function clearResults() {
                    ++clearCount
                    UiTestSupport.setRows(results, [])
                    isProcessing = false
                }
            }
        }

        Component {
            id: fakeRelayComponent

            QtObject {
                signal didEnqueue()
                property var pending: []

                function consumePendingURLs() {
                    const urls = pending
                    pending = []
                    return urls
                }
            }
        }

        Component {
            id: contentViewComponent

            ContentView {
                width: 720
                height: 520
            }
        }

        function makeContentView(pendingURLs) {
            const viewModel = createTemporaryObject(fakeViewModelComponent, host)
            const relay = createTemporaryObject(fakeRelayComponent, host, { pending: pendingURLs || [] })
            const view = createTemporaryObject(contentViewComponent, host,
                                               { viewModel: viewModel, dockFileDropRelay: relay })
            verify(view !== null, "ContentView could not be created")
            return { view: view, viewModel: viewModel, relay: relay }
        }

        property string photoPath

        function initTestCase() {
            photoPath = UiTestSupport.writePhoto("row.jpg", 320, 240).toString().substring("file://".length)
        }

        function rows(count) {
            const result = []
            for (let i = 0; i < count; ++i) {
                result.push({ sourcePath: photoPath, outputPath: "/photos/picture-" + i + "-1.jpg",
                              originalBytes: 2000000, compressedBytes: 1300000, status: "success" })
            }
            return result
        }

        function test_faceFollowsControllerState_data() {
            const running = "你可以继续把图片拖到这里，新一批任务会直接替换当前结果。"
            const finished = "继续拖入图片会直接清空当前结果并开始新一轮压缩。"
            return [
                { tag: "idle", processing: false, rowCount: 0, face: "dropZone" },
                { tag: "batch running", processing: true, rowCount: 0, face: "processing", title: "正在压缩",
                  hint: running },
                { tag: "batch finished", processing: false, rowCount: 2, face: "results", title: "压缩结果",
                  hint: finished },
                { tag: "rows while running", processing: true, rowCount: 1, face: "results", title: "正在压缩",
                  hint: running },
            ]
        }

        function test_faceFollowsControllerState(data) {
            const made = makeContentView()
            made.viewModel.isProcessing = data.processing
            UiTestSupport.setRows(made.viewModel.results, rows(data.rowCount))

            compare(made.view.face, data.face)
            const faces = { dropZone: "dropZoneFace", processing: "processingFace", results: "resultsFace" }
            for (const face in faces) {
                const item = findChild(made.view, faces[face])
                if (face === data.face)
                    tryCompare(item, "opacity", 1)
                else
                    tryCompare(item, "visible", false)
            }
            compare(findChild(made.view, "mainLayoutFace").shown, data.face !== "dropZone")
            if (data.title === undefined)
                return
            compare(findChild(made.view, "headerTitle").shownText, data.title)
            compare(findChild(made.view, "headerHint").shownText, data.hint)
            compare(findChild(made.view, "headerNote").text, "输出文件保存在原图所在目录")
        }

        function test_clearControl_data() {
            return [
                { tag: "while processing", processing: true, rowCount: 0 },
                { tag: "with results", processing: false, rowCount: 3 },
            ]
        }

        function test_clearControl(data) {
            const made = makeContentView()
            made.viewModel.isProcessing = data.processing
            UiTestSupport.setRows(made.viewModel.results, rows(data.rowCount))
            const clearButton = findChild(made.view, "clearButton")
            tryCompare(findChild(made.view, "mainLayoutFace"), "opacity", 1)
            verify(clearButton.visible)
            compare(clearButton.Accessible.name, "清空")

            mouseClick(clearButton)
            compare(made.viewModel.clearCount, 1)
            compare(made.view.face, "dropZone")
            tryCompare(findChild(made.view, "dropZoneFace"), "opacity", 1)
        }

        function test_dropAnywhere_data() {
            const files = ["file:///photos/a.jpg", "file:///photos/b.png"]
            return [
                { tag: "files on the drop zone", target: "orangeArtwork", rowCount: 0, urls: files, accepted: true },
                { tag: "files on the clear control", target: "clearButton", rowCount: 2, urls: files, accepted: true },
                { tag: "files on the result list", target: "resultList", rowCount: 2, urls: files, accepted: true },
                { tag: "file and web address", target: "dropZone", rowCount: 0,
                  urls: ["https://example.com/a.jpg", "file:///photos/c.jpg"], accepted: true },
                { tag: "web address only", target: "dropZone", rowCount: 0,
                  urls: ["https://example.com/a.jpg"], accepted: false },
                { tag: "web address only over results", target: "resultList", rowCount: 2,
                  urls: ["https://example.com/a.jpg"], accepted: false },
            ]
        }

        function test_dropAnywhere(data) {
            const made = makeContentView()
            UiTestSupport.setRows(made.viewModel.results, rows(data.rowCount))
            const faceBefore = made.view.face
            const target = findChild(made.view, data.target)
            verify(target !== null, data.target)
            tryCompare(target, "visible", true)

            compare(UiTestSupport.drop(target, data.urls), data.accepted)
            compare(made.viewModel.handledBatches.length, 1)
            compare(made.viewModel.handledBatches[0], data.urls)
            compare(made.viewModel.isDropTargeted, false)
            compare(made.view.face, data.accepted ? "processing" : faceBefore)
        }

        function test_hoverTogglesDropTargeted() {
            const made = makeContentView()
            const dropZone = findChild(made.view, "dropZone")
            verify(!UiTestSupport.dragEnter(made.view, [], "just some text"))
            compare(made.viewModel.isDropTargeted, false)
            UiTestSupport.dragLeave(made.view)

            const idle = findChild(dropZone, "dropZoneFill").color
            const idleFill = Qt.rgba(idle.r, idle.g, idle.b, idle.a) // a copy, not a live reference
            verify(UiTestSupport.dragEnter(made.view, ["file:///photos/a.jpg"]))
            compare(made.viewModel.isDropTargeted, true)
            compare(dropZone.isTargeted, true)
            tryVerify(() => !Qt.colorEqual(findChild(dropZone, "dropZoneFill").color, idleFill), 1000, "no highlight")

            UiTestSupport.dragLeave(made.view)
            compare(made.viewModel.isDropTargeted, false)
            compare(dropZone.isTargeted, false)
            compare(made.viewModel.handledBatches.length, 0)
        }

        function test_dockFilesWhenShown() {
            UiTestSupport.clearLog()
            const made = makeContentView(["file:///photos/a.jpg", "file:///photos/b.jpg"])
            compare(made.viewModel.handledBatches, [["file:///photos/a.jpg", "file:///photos/b.jpg"]])
            compare(made.relay.pending.length, 0)
            verify(UiTestSupport.infoLog().includes("DockDrop: ContentView processing 2 dock file(s)"),
                   UiTestSupport.infoLog().join("\n"))
            compare(made.view.face, "processing")

            // Coming into view again takes what arrived meanwhile.
            made.view.visible = false
            made.relay.pending = ["file:///photos/d.jpg"]
            made.view.visible = true
            compare(made.viewModel.handledBatches.length, 2)
            compare(made.viewModel.handledBatches[1], ["file:///photos/d.jpg"])
        }

        function test_dockFilesOnEveryNotification() {
            UiTestSupport.clearLog()
            const made = makeContentView()
            made.relay.didEnqueue()
            compare(made.viewModel.handledBatches.length, 0)
            verify(!UiTestSupport.infoLog().some(line => line.includes("ContentView processing")))
            compare(made.view.face, "dropZone")

            made.relay.pending = ["file:///photos/c.jpg"]
            made.relay.didEnqueue()
            compare(made.viewModel.handledBatches, [["file:///photos/c.jpg"]])
            // A second notification whose files were already taken ends quietly.
            made.relay.didEnqueue()
            compare(made.viewModel.handledBatches.length, 1)
        }

        function builtRows(list) {
            let built = 0
            for (let i = 0; i < list.contentItem.children.length; ++i) {
                if (list.contentItem.children[i].fileName !== undefined)
                    ++built
            }
            return built
        }

        function test_listBuildsOnlyVisibleRows() {
            const made = makeContentView()
            UiTestSupport.setRows(made.viewModel.results, rows(200))
            const list = findChild(made.view, "resultList")
            tryCompare(list, "count", 200)
            tryVerify(() => builtRows(list) > 0)
            verify(builtRows(list) < 20, "built " + builtRows(list) + " rows")

            list.positionViewAtIndex(199, ListView.End)
            tryVerify(() => list.itemAtIndex(199) !== null)
            verify(list.itemAtIndex(0) === null)
            verify(builtRows(list) < 20, "built " + builtRows(list) + " rows")
        }
    }
}

import QtQuick
import QtTest
import Pressel

Item {
    id: host
    width: 800
    height: 600

    TestCase {
        id: testCase
        name: "DropZoneView"
        when: windowShown

        Component {
            id: zoneComponent

            DropZoneView {
                width: 680
                height: 480
            }
        }

        function texts(item) {
            const found = []
            for (let i = 0; i < item.children.length; ++i) {
                const child = item.children[i]
                if (child.text !== undefined && child.font !== undefined)
                    found.push(child.text)
                found.push(...texts(child))
            }
            return found
        }

        function test_looks_data() {
            return [
                { tag: "idle", targeted: false, fill: Theme.withAlpha(Theme.quaternaryFill, 0.35),
                  border: Theme.withAlpha(Theme.secondaryText, 0.5) },
                { tag: "targeted", targeted: true, fill: Theme.withAlpha(Theme.accent, 0.12), border: Theme.accent },
            ]
        }

        function test_looks(data) {
            const zone = createTemporaryObject(zoneComponent, host, { isTargeted: !data.targeted })
            zone.isTargeted = data.targeted
            const fill = findChild(zone, "dropZoneFill")
            const border = findChild(zone, "dropZoneBorder")
            tryVerify(() => Qt.colorEqual(fill.color, data.fill), 1000, "fill " + fill.color)
            tryVerify(() => Qt.colorEqual(border.strokeColor, data.border), 1000, "border " + border.strokeColor)
        }

        function test_sameTextsInBothLooks() {
            const zone = createTemporaryObject(zoneComponent, host, { isTargeted: false })
            const idleTexts = texts(zone)
            compare(idleTexts, ["拖拽图片到这里", "支持批量压缩，按原格式输出（当前支持 JPEG、PNG）", "输出文件会保存在原图所在目录",
                                "选择图片…", "选择图片…"])
            zone.isTargeted = true
            compare(texts(zone), idleTexts)
        }

        function test_orangeArtwork() {
            const zone = createTemporaryObject(zoneComponent, host)
            const artwork = findChild(zone, "orangeArtwork")
            tryCompare(artwork, "status", Image.Ready)
        }
    }
}

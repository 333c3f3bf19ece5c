// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Pressel

// One side of the before/after view: a picture file drawn under the view's shared transform.
// The whole picture decoded at the size the view fits it to is always underneath; zoomed in
// beyond that, only the visible part is decoded again at the resolution it is drawn at (full
// resolution from 100 % up). Each layer loads into the spare of two slots, so that what is on
// screen stays until its successor is ready and at most two decodes per layer are held.
Item {
    id: picture

    required property url file
    // The source's upright size in pixels, which both sides are drawn at.
    required property size imageSize
    // Logical pixels per image pixel, and where the picture's top-left corner lies in this item.
    required property real pictureScale
    required property real offsetX
    required property real offsetY
    required property real devicePixelRatio

    // Device pixels per image pixel: 1 is 100 %.
    readonly property real deviceScale: pictureScale * devicePixelRatio
    readonly property bool hasImage: imageSize.width > 0 && imageSize.height > 0
    readonly property bool ready: baseA.shown || baseB.shown
    readonly property bool failed: baseA.status === Image.Error || baseB.status === Image.Error
    // Whether a part decoded beyond the fit is on screen, and at which scale (tests, screenshots).
    readonly property bool showsDetail: detailA.shown || detailB.shown
    readonly property real detailScale: detailA.shown ? detailA.decodeScale : detailB.shown ? detailB.decodeScale : 0

    // The fit scale in device pixels, never above full resolution.
    function baseScale() {
        return Math.min(width / imageSize.width, height / imageSize.height, 1 / devicePixelRatio) * devicePixelRatio
    }

    // The part of the picture in view, in image pixels, with a small margin for panning.
    function visibleRegion() {
        const margin = 0.1
        const left = -offsetX / pictureScale, top = -offsetY / pictureScale
        const w = width / pictureScale, h = height / pictureScale
        const x0 = Math.max(0, Math.floor(left - w * margin)), y0 = Math.max(0, Math.floor(top - h * margin))
        const x1 = Math.min(imageSize.width, Math.ceil(left + w * (1 + margin)))
        const y1 = Math.min(imageSize.height, Math.ceil(top + h * (1 + margin)))
        return Qt.rect(x0, y0, Math.max(0, x1 - x0), Math.max(0, y1 - y0))
    }

    function show(first, second, region, scale) {
        const current = first.shown ? first : second.shown ? second : null
        const spare = current === first ? second : first
        if (current && current.covers(region, scale)) {
            spare.clear() // a load that the view has moved away from again
            return
        }
        if (!spare.covers(region, scale) || spare.status === Image.Null)
            spare.load(region, scale)
    }

    function update() {
        if (!hasImage || width <= 0 || height <= 0)
            return
        const fit = baseScale()
        show(baseA, baseB, Qt.rect(0, 0, imageSize.width, imageSize.height), fit)
        if (deviceScale <= fit * 1.05) {
            detailA.clear()
            detailB.clear()
            return
        }
        const region = visibleRegion()
        if (region.width > 0 && region.height > 0)
            show(detailA, detailB, region, Math.min(1, deviceScale))
    }

    onWidthChanged: settle.restart()
    onHeightChanged: settle.restart()
    onImageSizeChanged: settle.restart()
    onPictureScaleChanged: settle.restart()
    onOffsetXChanged: settle.restart()
    onOffsetYChanged: settle.restart()
    onFileChanged: settle.restart()

    // Decodes are asked for once the view stops moving.
    Timer {
        id: settle
        interval: 120
        onTriggered: picture.update()
    }

    component Slot: Image {
        id: slot

        property Image partner
        property rect region
        property real decodeScale
        property bool shown: false

        function covers(wanted, scale) {
            return Math.abs(scale - decodeScale) < 1e-6 && wanted.x >= region.x && wanted.y >= region.y
                    && wanted.x + wanted.width <= region.x + region.width
                    && wanted.y + wanted.height <= region.y + region.height
        }
        function load(wanted, scale) {
            region = wanted
            decodeScale = scale
            sourceSize = Qt.size(Math.max(1, Math.round(wanted.width * scale)),
                                 Math.max(1, Math.round(wanted.height * scale)))
            source = ComparisonImages.pictureURL(picture.file, wanted, picture.imageSize)
        }
        function clear() {
            shown = false
            source = ""
            decodeScale = 0
        }

        x: picture.offsetX + region.x * picture.pictureScale
        y: picture.offsetY + region.y * picture.pictureScale
        width: region.width * picture.pictureScale
        height: region.height * picture.pictureScale
        visible: shown
        asynchronous: true
        cache: false
        // Sharp pixels from 100 % up, so compression artefacts show as they are.
        smooth: picture.deviceScale < 1
        onStatusChanged: {
            if (status !== Image.Ready)
                return
            shown = true
            partner.clear()
        }
    }

    Slot {
        id: baseA
        objectName: "baseA"
        partner: baseB
    }
    Slot {
        id: baseB
        objectName: "baseB"
        partner: baseA
    }
    Slot {
        id: detailA
        objectName: "detailA"
        partner: detailB
    }
    Slot {
        id: detailB
        objectName: "detailB"
        partner: detailA
    }
}

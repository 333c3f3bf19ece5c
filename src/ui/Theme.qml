// SPDX-License-Identifier: GPL-3.0-or-later
pragma Singleton
import QtQuick
import Pressel

// The window's look, light or dark as the desktop prefers (ColorScheme), in one place so that
// every view draws from the same palette, type, spacing and radii. Both themes share the design:
// the accent, the status colours' hues and the layout are the same, only lightness changes.
QtObject {
    readonly property bool dark: ColorScheme.dark

    // Each language names its face. Chinese sets quotes, "×" and "·" full-width, and so does
    // the SC face; a translation takes a face with proportional ones (English: the JP face,
    // whose Latin letters are the same, so every width holds).
    readonly property string fontFamily: qsTranslate("Theme", "Noto Sans CJK SC")

    // Type scale, smallest to largest, at sizes that stay legible for Chinese glyphs on a 1x
    // screen.
    readonly property int smallTextSize: 12
    readonly property int captionSize: 13
    readonly property int textSize: 14
    readonly property int badgeTextSize: 15
    readonly property int emphasisSize: 16
    readonly property int headingSize: 17
    readonly property int rowTitleSize: 18
    readonly property int panelTitleSize: 22
    readonly property int displaySize: 28
    readonly property int pageTitleSize: 30

    // Spacing scale: every gap, margin and padding of the layout, smallest to largest.
    readonly property int spacing2XS: 2
    readonly property int spacingXS: 4
    readonly property int spacingS: 6
    readonly property int spacingM: 8
    readonly property int spacingML: 10
    readonly property int spacingL: 12
    readonly property int spacingXL: 14
    readonly property int spacing2XL: 16
    readonly property int spacing3XL: 18
    readonly property int spacing4XL: 20
    readonly property int spacing5XL: 24
    readonly property int spacing6XL: 32

    // Corner radii, by what they round; capsules and circles take half their height instead.
    readonly property int progressRadius: 3
    readonly property int controlRadius: 8
    readonly property int smallButtonRadius: 9
    readonly property int viewportRadius: 12
    readonly property int tileRadius: 18
    readonly property int largeTileRadius: 20
    readonly property int dragBorderRadius: 24
    readonly property int rowRadius: 26
    readonly property int dropZoneRadius: 28

    // Outlines: panels' edges, the focus ring and a selected control's border.
    readonly property real hairline: 1
    readonly property real focusLineWidth: 2
    readonly property real dropLineWidth: 1.5

    // Buttons and their icons: the round icon buttons, and the larger ones of the drop zone and
    // the rows.
    readonly property int controlSize: 32
    readonly property int largeControlSize: 34
    readonly property int iconSize: 18
    readonly property int largeIconSize: 22
    readonly property int smallControlSize: 28 // the panel's close button
    readonly property int smallIconSize: 14
    readonly property int statusSymbolSize: 20 // beside a row's file name
    readonly property int photoSymbolSize: 34 // in a row's tile when it has no thumbnail
    readonly property int processingTileSize: 96
    readonly property int dropArtworkSize: 150
    readonly property int valueLabelWidth: 28 // a quality's number beside its slider
    readonly property int zoomLabelWidth: 56
    readonly property int choiceWidth: 200
    readonly property int numberFieldWidth: 120
    readonly property int countFieldWidth: 150 // seven digits between its buttons
    // The settings panel: two columns when it is at least this wide inside.
    readonly property int settingsPanelWidth: 680
    readonly property int settingsTwoColumnWidth: 600
    readonly property int tooltipDelay: 500
    // The drop zone and the results grow no wider; a wider window centres them.
    readonly property int contentMaximumWidth: 960
    readonly property int scrollHandleMinimumLength: 40

    readonly property color window: dark ? "#202024" : "#f2f2f5"
    readonly property color primaryText: dark ? "#f5f5f7" : "#1d1d1f"
    readonly property color secondaryText: dark ? Qt.rgba(0.92, 0.92, 0.96, 0.62) : Qt.rgba(0.18, 0.18, 0.2, 0.68)
    readonly property color accent: dark ? "#0a84ff" : "#007aff"
    readonly property color green: dark ? "#32d74b" : "#28b446"
    readonly property color orange: dark ? "#ff9f0a" : "#f08c00"
    readonly property color red: dark ? "#ff453a" : "#eb3b30"
    // Tiles, tracks and a viewport's ground, quieter than any text.
    readonly property color subtleFill: dark ? Qt.rgba(1, 1, 1, 0.1) : Qt.rgba(0, 0, 0, 0.06)
    // A row's panel and its outline.
    readonly property color rowFill: dark ? Qt.rgba(1, 1, 1, 0.055) : Qt.rgba(1, 1, 1, 0.78)
    readonly property color panelEdge: dark ? Qt.rgba(1, 1, 1, 0.14) : Qt.rgba(0, 0, 0, 0.1)
    // Under the pointer: the round icon buttons.
    readonly property color hoverFill: dark ? Qt.rgba(1, 1, 1, 0.1) : Qt.rgba(0, 0, 0, 0.07)
    readonly property color selectedText: dark ? "white" : "#1d1d1f"

    readonly property color toolTipBackground: dark ? "#3a3a3f" : "#ffffff"
    readonly property color toolTipEdge: dark ? Qt.rgba(1, 1, 1, 0.16) : Qt.rgba(0, 0, 0, 0.16)
    readonly property color scrollHandle: dark ? Qt.rgba(1, 1, 1, 0.38) : Qt.rgba(0, 0, 0, 0.34)
    readonly property color scrollHandleActive: dark ? Qt.rgba(1, 1, 1, 0.6) : Qt.rgba(0, 0, 0, 0.55)
    // Behind transparent pixels, artwork/checkerboard.svg in thumbnails and the before/after
    // view: light in either scheme, as image editors show it.
    readonly property int checkerSquare: 8
    readonly property color scrollTrack: dark ? Qt.rgba(1, 1, 1, 0.05) : Qt.rgba(0, 0, 0, 0.04)

    readonly property int faceAnimationDuration: 200
    readonly property int dropZoneAnimationDuration: 180

    function withAlpha(base, alpha) {
        return Qt.rgba(base.r, base.g, base.b, base.a * alpha)
    }
}

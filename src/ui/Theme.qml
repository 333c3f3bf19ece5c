// SPDX-License-Identifier: GPL-3.0-or-later
pragma Singleton
import QtQuick
import Pressel

// The window's look, light or dark as the desktop prefers (ColorScheme), in one place so that
// every view draws from the same palette and type scale. Both themes share the design: the
// accent, the status colours' hues and the layout are the same, only lightness changes.
QtObject {
    readonly property bool dark: ColorScheme.dark

    readonly property string fontFamily: "Noto Sans CJK SC"

    // Type scale: the named text styles of the design, at sizes that stay legible for
    // Chinese glyphs on a 1x screen.
    readonly property int bodySize: 14
    readonly property int title3Size: 17
    readonly property int subheadlineSize: 13
    readonly property int footnoteSize: 12

    readonly property color window: dark ? "#202024" : "#f2f2f5"
    readonly property color primaryText: dark ? "#f5f5f7" : "#1d1d1f"
    readonly property color secondaryText: dark ? Qt.rgba(0.92, 0.92, 0.96, 0.62) : Qt.rgba(0.18, 0.18, 0.2, 0.68)
    readonly property color accent: dark ? "#0a84ff" : "#007aff"
    readonly property color green: dark ? "#32d74b" : "#28b446"
    readonly property color orange: dark ? "#ff9f0a" : "#f08c00"
    readonly property color red: dark ? "#ff453a" : "#eb3b30"
    readonly property color blue: accent
    readonly property color quaternaryFill: dark ? Qt.rgba(1, 1, 1, 0.1) : Qt.rgba(0, 0, 0, 0.06)
    // A row's panel and its outline.
    readonly property color regularMaterial: dark ? Qt.rgba(1, 1, 1, 0.055) : Qt.rgba(1, 1, 1, 0.78)
    readonly property color panelEdge: dark ? Qt.rgba(1, 1, 1, 0.14) : Qt.rgba(0, 0, 0, 0.1)
    // Under the pointer: the round icon buttons.
    readonly property color hoverFill: dark ? Qt.rgba(1, 1, 1, 0.1) : Qt.rgba(0, 0, 0, 0.07)
    readonly property color selectedText: dark ? "white" : "#1d1d1f"

    readonly property color toolTipBackground: dark ? "#3a3a3f" : "#ffffff"
    readonly property color toolTipEdge: dark ? Qt.rgba(1, 1, 1, 0.16) : Qt.rgba(0, 0, 0, 0.16)
    readonly property color scrollHandle: dark ? Qt.rgba(1, 1, 1, 0.38) : Qt.rgba(0, 0, 0, 0.34)
    readonly property color scrollHandleActive: dark ? Qt.rgba(1, 1, 1, 0.6) : Qt.rgba(0, 0, 0, 0.55)
    readonly property color scrollTrack: dark ? Qt.rgba(1, 1, 1, 0.05) : Qt.rgba(0, 0, 0, 0.04)

    readonly property int faceAnimationDuration: 200
    readonly property int dropZoneAnimationDuration: 180

    function withAlpha(base, alpha) {
        return Qt.rgba(base.r, base.g, base.b, base.a * alpha)
    }
}

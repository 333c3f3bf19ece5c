pragma Singleton
import QtQuick

// The window's look: a dark heads-up-display backdrop with light text, in one place so that
// every view draws from the same palette and type scale.
QtObject {
    readonly property string fontFamily: "Noto Sans CJK SC"

    // Type scale: the named text styles of the design, at sizes that stay legible for
    // Chinese glyphs on a 1x screen.
    readonly property int bodySize: 14
    readonly property int title3Size: 17
    readonly property int subheadlineSize: 13
    readonly property int footnoteSize: 12

    readonly property color primaryText: "#f5f5f7"
    readonly property color secondaryText: Qt.rgba(0.92, 0.92, 0.96, 0.62)
    readonly property color accent: "#0a84ff"
    readonly property color green: "#32d74b"
    readonly property color orange: "#ff9f0a"
    readonly property color red: "#ff453a"
    readonly property color blue: "#0a84ff"
    readonly property color quaternaryFill: Qt.rgba(1, 1, 1, 0.1)
    readonly property color regularMaterial: Qt.rgba(1, 1, 1, 0.055)

    // With a compositor the backdrop lets the desktop through; without one the same tone is
    // drawn opaque.
    readonly property color translucentBackdrop: Qt.rgba(0.105, 0.105, 0.118, 0.82)
    readonly property color opaqueBackdrop: "#202024"
    readonly property color backdropEdge: Qt.rgba(1, 1, 1, 0.09)
    readonly property int windowRadius: 14

    readonly property int faceAnimationDuration: 200
    readonly property int dropZoneAnimationDuration: 180

    function withAlpha(base, alpha) {
        return Qt.rgba(base.r, base.g, base.b, base.a * alpha)
    }
}

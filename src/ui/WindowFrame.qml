import QtQuick
import QtQuick.Window
import Qt5Compat.GraphicalEffects
import Pressel

// The chrome of a window without a title bar: a translucent backdrop with rounded corners and a
// shadow where the desktop composes windows, the same tone drawn opaque where it does not;
// moved by dragging its background, resized from its edges, with its own window controls.
Item {
    id: frame

    required property Window window
    default property alias content: contentArea.data

    readonly property bool compositing: WindowEffects.compositing
    readonly property bool maximized: window.visibility === Window.Maximized
                                      || window.visibility === Window.FullScreen
    // Room around the backdrop for the shadow; taken by the window, so the window is this
    // much larger than what the user sees as its frame.
    readonly property int outerMargin: compositing ? 18 : 0
    readonly property int shadowMargin: maximized ? 0 : outerMargin
    readonly property int cornerRadius: compositing && !maximized ? Theme.windowRadius : 0
    readonly property rect backdropRect: Qt.rect(backdrop.x, backdrop.y, backdrop.width, backdrop.height)

    function toggleMaximized() {
        if (maximized)
            window.showNormal()
        else
            window.showMaximized()
    }

    function updateWindowHints() {
        WindowEffects.setBackdrop(window, backdropRect, cornerRadius)
    }

    onBackdropRectChanged: updateWindowHints()
    onCornerRadiusChanged: updateWindowHints()
    Connections {
        target: frame.window
        function onVisibleChanged() { frame.updateWindowHints() }
    }

    RectangularGlow {
        objectName: "windowShadow"
        x: backdrop.x
        y: backdrop.y + 4
        width: backdrop.width
        height: backdrop.height
        visible: frame.shadowMargin > 0
        glowRadius: 13
        spread: 0.08
        cornerRadius: frame.cornerRadius + glowRadius
        color: Qt.rgba(0, 0, 0, 0.38)
    }

    Rectangle {
        id: backdrop
        objectName: "backdrop"
        anchors.fill: parent
        anchors.margins: frame.shadowMargin
        radius: frame.cornerRadius
        color: frame.compositing ? Theme.translucentBackdrop : Theme.opaqueBackdrop
        border.width: frame.compositing && !frame.maximized ? 1 : 0
        border.color: Theme.backdropEdge

        // Below the content: only presses that no control takes move the window.
        Item {
            id: moveArea
            anchors.fill: parent

            DragHandler {
                target: null
                onActiveChanged: if (active) frame.window.startSystemMove()
            }

            TapHandler {
                onTapped: contentArea.forceActiveFocus()
                onDoubleTapped: frame.toggleMaximized()
            }
        }

        FocusScope {
            id: contentArea
            anchors.fill: parent
        }

        WindowControls {
            anchors.top: parent.top
            anchors.right: parent.right
            // Inside the content's outer margin, clear of the drop zone and the drag border.
            anchors.topMargin: 0
            anchors.rightMargin: 10
            window: frame.window
        }
    }

    component ResizeArea: MouseArea {
        required property int edges

        enabled: !frame.maximized
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton
        cursorShape: {
            switch (edges) {
            case Qt.LeftEdge:
            case Qt.RightEdge:
                return Qt.SizeHorCursor
            case Qt.TopEdge:
            case Qt.BottomEdge:
                return Qt.SizeVerCursor
            case Qt.LeftEdge | Qt.TopEdge:
            case Qt.RightEdge | Qt.BottomEdge:
                return Qt.SizeFDiagCursor
            default:
                return Qt.SizeBDiagCursor
            }
        }
        onPressed: frame.window.startSystemResize(edges)
    }

    // Edges and corners: the shadow margin and a few pixels of the backdrop.
    readonly property int grip: shadowMargin + 5
    readonly property int cornerGrip: shadowMargin + 14

    ResizeArea { edges: Qt.LeftEdge; x: 0; y: frame.cornerGrip; width: frame.grip; height: frame.height - 2 * frame.cornerGrip }
    ResizeArea { edges: Qt.RightEdge; x: frame.width - frame.grip; y: frame.cornerGrip; width: frame.grip; height: frame.height - 2 * frame.cornerGrip }
    ResizeArea { edges: Qt.TopEdge; x: frame.cornerGrip; y: 0; width: frame.width - 2 * frame.cornerGrip; height: frame.grip }
    ResizeArea { edges: Qt.BottomEdge; x: frame.cornerGrip; y: frame.height - frame.grip; width: frame.width - 2 * frame.cornerGrip; height: frame.grip }
    ResizeArea { edges: Qt.LeftEdge | Qt.TopEdge; x: 0; y: 0; width: frame.cornerGrip; height: frame.cornerGrip }
    ResizeArea { edges: Qt.RightEdge | Qt.TopEdge; x: frame.width - frame.cornerGrip; y: 0; width: frame.cornerGrip; height: frame.cornerGrip }
    ResizeArea { edges: Qt.LeftEdge | Qt.BottomEdge; x: 0; y: frame.height - frame.cornerGrip; width: frame.cornerGrip; height: frame.cornerGrip }
    ResizeArea { edges: Qt.RightEdge | Qt.BottomEdge; x: frame.width - frame.cornerGrip; y: frame.height - frame.cornerGrip; width: frame.cornerGrip; height: frame.cornerGrip }
}

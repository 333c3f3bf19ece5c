pragma ComponentBehavior: Bound
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

    // Edges and corners: the shadow margin and a few pixels of the backdrop.
    readonly property int grip: shadowMargin + 5
    readonly property int cornerGrip: shadowMargin + 14

    function gripArea(edges) {
        const left = edges & Qt.LeftEdge, right = edges & Qt.RightEdge
        const top = edges & Qt.TopEdge, bottom = edges & Qt.BottomEdge
        const corner = (left || right) && (top || bottom)
        const x = left ? 0 : right ? width - (corner ? cornerGrip : grip) : cornerGrip
        const y = top ? 0 : bottom ? height - (corner ? cornerGrip : grip) : cornerGrip
        const w = corner ? cornerGrip : (left || right) ? grip : width - 2 * cornerGrip
        const h = corner ? cornerGrip : (top || bottom) ? grip : height - 2 * cornerGrip
        return Qt.rect(x, y, w, h)
    }

    Repeater {
        model: [Qt.LeftEdge, Qt.RightEdge, Qt.TopEdge, Qt.BottomEdge, Qt.LeftEdge | Qt.TopEdge,
                Qt.RightEdge | Qt.TopEdge, Qt.LeftEdge | Qt.BottomEdge, Qt.RightEdge | Qt.BottomEdge]

        MouseArea {
            id: resizeArea

            required property int modelData
            readonly property rect area: frame.gripArea(modelData)

            x: area.x
            y: area.y
            width: area.width
            height: area.height
            enabled: !frame.maximized
            hoverEnabled: true
            acceptedButtons: Qt.LeftButton
            cursorShape: {
                switch (modelData) {
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
            onPressed: frame.window.startSystemResize(resizeArea.modelData)
        }
    }
}

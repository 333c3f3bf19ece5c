import QtQuick
import QtQuick.Window
import Pressel

// The application's single window: no title bar, a translucent backdrop, the content view.
Window {
    id: window

    required property CompressionViewModel viewModel

    title: "Pressel"
    flags: Qt.Window | Qt.FramelessWindowHint
    // Always transparent, so the surface has an alpha channel whether or not a compositor
    // runs now; the frame paints the backdrop opaque when none does.
    color: "transparent"
    width: content.implicitWidth + 2 * frame.outerMargin
    height: content.implicitHeight + 2 * frame.outerMargin
    minimumWidth: content.implicitWidth + 2 * frame.shadowMargin
    minimumHeight: content.implicitHeight + 2 * frame.shadowMargin
    visible: true

    WindowFrame {
        id: frame
        anchors.fill: parent
        window: window

        ContentView {
            id: content
            objectName: "contentView"
            anchors.fill: parent
            focus: true
            viewModel: window.viewModel
        }
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Window
import Pressel

// The application's single window, framed by the desktop: its title bar, buttons, moving and
// resizing are the window manager's (or Qt's decorations where the compositor draws none).
Window {
    id: window

    required property CompressionViewModel viewModel

    title: "Pressel"
    color: Theme.window
    width: content.implicitWidth
    height: content.implicitHeight
    // The smallest size at which the drop zone's texts still fit, in either language.
    minimumWidth: 560
    minimumHeight: 480
    visible: true

    // Popups (the tooltips) take their colours from the window.
    palette.toolTipBase: Theme.toolTipBackground
    palette.toolTipText: Theme.primaryText
    palette.dark: Theme.toolTipEdge

    // Where the window was when it was last closed.
    WindowGeometry {
        target: window
    }

    ContentView {
        id: content
        objectName: "contentView"
        anchors.fill: parent
        focus: true
        viewModel: window.viewModel
    }
}

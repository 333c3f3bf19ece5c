// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick

// An indeterminate spinner of twelve spokes whose brightness trails the turn. The turn runs on
// the render thread, so it keeps spinning while the GUI thread is busy.
Item {
    id: indicator

    property real size: Theme.controlSize
    property color color: Theme.primaryText
    property bool running: visible

    implicitWidth: size
    implicitHeight: size

    Item {
        id: spokes
        anchors.fill: parent

        Repeater {
            model: 12

            Rectangle {
                id: spoke

                required property int index

                x: (indicator.width - width) / 2
                y: 0
                width: Math.max(2, Math.round(indicator.width * 0.09))
                height: Math.round(indicator.height * 0.28)
                radius: width / 2
                antialiasing: true
                color: indicator.color
                opacity: 0.18 + 0.82 * index / 11
                transform: Rotation {
                    origin.x: spoke.width / 2
                    origin.y: indicator.height / 2
                    angle: spoke.index * 30
                }
            }
        }

        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 1000
            loops: Animation.Infinite
            running: indicator.running
        }
    }
}

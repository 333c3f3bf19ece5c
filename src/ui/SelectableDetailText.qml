// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import Pressel

// A line of detail that the user can select and copy, at most maximumLineCount lines, cut with
// "…" when longer. While it has focus (the user is selecting) it holds the whole text, so that
// a copy never yields a shortened path; the overflow stays clipped.
Item {
    id: detail

    property string text
    property int maximumLineCount: 2
    property alias font: edit.font
    property alias color: edit.color

    readonly property bool truncated: shownText !== text
    readonly property string shownText: TextElider.elide(text, edit.font, width - 1, maximumLineCount)
    readonly property real lineHeight: edit.lineCount > 0 ? edit.contentHeight / edit.lineCount : metrics.height

    implicitWidth: edit.implicitWidth
    implicitHeight: Math.min(edit.contentHeight, lineHeight * maximumLineCount)
    clip: true

    FontMetrics {
        id: metrics
        font: edit.font
    }

    TextEdit {
        id: edit
        objectName: "detailEdit"
        width: detail.width
        text: activeFocus ? detail.text : detail.shownText
        readOnly: true
        selectByMouse: true
        persistentSelection: false
        wrapMode: TextEdit.Wrap
        textFormat: TextEdit.PlainText
        renderType: Text.NativeRendering
        font.family: Theme.fontFamily
        font.pixelSize: Theme.smallTextSize
        color: Theme.secondaryText
        selectionColor: Theme.withAlpha(Theme.accent, 0.6)
        selectedTextColor: Theme.selectedText
    }

    HoverHandler {
        id: hover
        cursorShape: Qt.IBeamCursor
    }

    ToolTip.visible: truncated && hover.hovered
    ToolTip.delay: 600
    ToolTip.text: text
}

import QtQuick
import Tavrine.Ui
import QtQuick.Controls
import Tavrine.HistoryView

// One finished session as a vertical timeline: a ruler of clock times and a column of blocks. The selection
// is the caller's: a tap only asks for a change through selectionRequested (-1 to clear), and a caller that
// ignores it keeps the timeline display-only.
Item {
    id: root
    objectName: "timeline"
    required property TimelineModel model
    property int selection: -1
    property bool showsCluesOverTimeline: false
    property bool expandsSelection: false
    signal selectionRequested(int id)

    implicitWidth: 320
    implicitHeight: 180
    Accessible.role: Accessible.Grouping
    Accessible.name: qsTr("Timeline")

    SystemPalette { id: system }

    Binding { target: root.model; property: "height"; value: root.height }
    Binding { target: root.model; property: "selection"; value: root.selection }
    Binding { target: root.model; property: "expandsSelection"; value: root.expandsSelection }
    Binding { target: root.model; property: "showsCluesOverTimeline"; value: root.showsCluesOverTimeline }

    // Blocks glide only while a tap unfolds or folds them, never when the view opens or is resized.
    property bool tapAnimates: false
    Timer { id: tapSettled; interval: 300; onTriggered: root.tapAnimates = false }

    // After the model has taken the new selection and unfolded it.
    onSelectionChanged: Qt.callLater(scrollToSelection)

    function scrollToSelection() {
        if (!root.expandsSelection || root.selection < 0 || root.model.selectedBlock < 0)
            return
        const top = root.model.selectedTop
        const bottom = root.model.selectedBottom
        let target = flick.contentY
        if (bottom > flick.contentY + flick.height)
            target = bottom - flick.height
        if (top < target)
            target = top
        scrollAnimation.to = Math.max(0, Math.min(target, flick.contentHeight - flick.height))
        scrollAnimation.restart()
    }

    Flickable {
        id: flick
        anchors.fill: parent
        clip: true
        contentWidth: width
        contentHeight: root.model.contentHeight
        boundsBehavior: contentHeight > height ? Flickable.DragAndOvershootBounds : Flickable.StopAtBounds
        // Off, not "as needed", where nothing scrolls: before the layout gives the view its height everything
        // seems to scroll, and a bar shown for that instant would fade out over the first frames.
        ScrollBar.vertical: ScrollBar { id: scrollBar; objectName: "timelineScrollBar"; policy: flick.scrolls ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff }
        readonly property bool scrolls: contentHeight > height + 0.5

        NumberAnimation { id: scrollAnimation; target: flick; property: "contentY"; duration: 250; easing.type: Easing.OutCubic }

        Item {
            id: ruler
            width: 34
            height: root.model.contentHeight
            Accessible.ignored: true
            Repeater {
                model: root.model.ticks
                Text {
                    required property var modelData
                    anchors.right: parent.right
                    y: modelData.y
                    text: modelData.label
                    textFormat: Text.PlainText
                    font.pixelSize: Math.round(9)
                    font.family: "monospace"
                    color: SystemInk.secondaryText
                }
            }
        }

        Repeater {
            model: root.model
            delegate: TimelineBlock {
                x: 40
                // The bar shows while the content scrolls; the blocks end before it.
                width: flick.width - 40 - (flick.scrolls ? scrollBar.width : 0)
                animated: root.tapAnimates
                onTapped: id => {
                    root.tapAnimates = root.expandsSelection
                    tapSettled.restart()
                    root.selectionRequested(root.model.requestedSelection(id))
                }
            }
        }
    }

    Shadow {
        anchors.fill: cluesCard
        visible: cluesCard.visible
        cornerRadius: cluesCard.radius
        fill: cluesCard.color
        color: Qt.rgba(0, 0, 0, 0.2)
        blurRadius: 8
        verticalOffset: 2
    }

    Rectangle {
        id: cluesCard
        objectName: "timelineClues"
        visible: root.model.cluesVisible
        x: 40
        width: root.width - 40
        height: clues.implicitHeight + 20
        y: root.model.cluesAtTop ? 0 : root.height - height
        radius: 10
        color: system.window
        border.width: 1
        border.color: Qt.rgba(system.windowText.r, system.windowText.g, system.windowText.b, 0.12)

        SessionSegmentClues {
            id: clues
            anchors.fill: parent
            anchors.margins: 10
            label: root.model.cluesLabel
            timeText: root.model.cluesTime
            rows: root.model.cluesRows
            kindColor: root.model.cluesColor
        }
        // Takes the press, so that the block lying under the card never sees the tap: a tap handler would only
        // share it, and the block would select itself again right after the card cleared the selection.
        MouseArea {
            objectName: "timelineCluesTap"
            anchors.fill: parent
            onClicked: root.selectionRequested(-1)
        }
    }
}

import QtQuick
import Tavrine.Ui

// The two-tone question over the intention field. A new one every 4.5 s while it is on screen: it rises in
// from below as the old one leaves upwards, or, with reduced motion, the two cross-fade in place.
Item {
    id: root
    objectName: "rotatingHeadline"

    property bool reduceMotion: false
    property color textColor: palette.windowText
    readonly property alias index: turns.index
    readonly property alias rotation: turns
    readonly property real travel: reduceMotion ? 0 : 14

    implicitWidth: 344
    implicitHeight: current ? current.implicitHeight : 0
    clip: false

    Accessible.role: Accessible.Heading
    Accessible.name: turns.lead + turns.accent

    SystemPalette { id: palette }
    // Not named `rotation`, which every item has.
    HeadlineRotation { id: turns }

    Timer {
        objectName: "headlineTimer"
        interval: turns.intervalMs
        repeat: true
        running: root.visible && root.Window.window !== null && root.Window.window.visible
        onTriggered: turns.advance()
    }

    // One text per question, laid out the first time it shows and kept: a change then moves two texts that are
    // ready. Setting the question into one text at every change laid out two fitted styled texts each time, half
    // of what the idle window's main thread did.
    property Item current: null
    property Item previous: null

    Repeater {
        model: turns.count
        delegate: Text {
            id: headline
            required property int index
            readonly property bool isCurrent: index === turns.index
            // Laid out once it has been current; until then it holds nothing to lay out.
            property bool used: false
            objectName: isCurrent ? "headlineText" : ""
            visible: headline === root.current || headline === root.previous
            width: root.width
            text: used ? turns.leadAt(index) + "<font color=\"" + AppStyle.accentColor + "\">"
                         + turns.accentAt(index) + "</font>" : ""
            textFormat: Text.StyledText
            font.pixelSize: 28
            font.weight: Font.DemiBold
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: Math.round(28 * 0.7)
            elide: Text.ElideRight
            maximumLineCount: 1
            color: root.textColor
            Accessible.ignored: true

            onIsCurrentChanged: if (isCurrent) root.turnTo(headline)
            Component.onCompleted: if (isCurrent) root.turnTo(headline)
        }
    }

    // The first question shows at once; each later one rises in over the one before. A delegate can call twice
    // for its first question: when the Repeater gives it its index, and when it is completed.
    function turnTo(headline: Item) {
        headline.used = true
        if (headline === current)
            return
        if (!current) {
            current = headline
            return
        }
        previous = current
        current = headline
        swap.restart()
    }

    // The spring of the change (response 0.5 s, little overshoot) as an out-cubic curve of 0.5 s.
    ParallelAnimation {
        id: swap
        NumberAnimation { target: root.current; property: "y"; from: root.travel; to: 0; duration: 500; easing.type: Easing.OutCubic }
        NumberAnimation { target: root.current; property: "opacity"; from: 0; to: 1; duration: 500; easing.type: Easing.OutCubic }
        NumberAnimation { target: root.previous; property: "y"; from: 0; to: -root.travel; duration: 500; easing.type: Easing.OutCubic }
        NumberAnimation { target: root.previous; property: "opacity"; from: 1; to: 0; duration: 500; easing.type: Easing.OutCubic }
    }
}

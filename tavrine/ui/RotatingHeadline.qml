import QtQuick
import Tavrine.Ui

// The two-tone question over the intention field. A new one every 4.5 s while it is on screen: it rises in
// from below as the old one leaves upwards, or, with reduced motion, the two cross-fade in place.
Item {
    id: root
    objectName: "rotatingHeadline"

    property bool reduceMotion: false
    property color textColor: palette.windowText
    readonly property alias index: rotation.index
    readonly property alias rotation: rotation
    readonly property real travel: reduceMotion ? 0 : 14

    implicitWidth: 344
    implicitHeight: current.implicitHeight
    clip: false

    Accessible.role: Accessible.Heading
    Accessible.name: rotation.lead + rotation.accent

    SystemPalette { id: palette }
    HeadlineRotation { id: rotation }

    Timer {
        objectName: "headlineTimer"
        interval: rotation.intervalMs
        repeat: true
        running: root.visible && root.Window.window !== null && root.Window.window.visible
        onTriggered: rotation.advance()
    }

    component Headline: Text {
        width: root.width
        textFormat: Text.StyledText
        font.pixelSize: 28
        font.weight: Font.DemiBold
        fontSizeMode: Text.HorizontalFit
        minimumPixelSize: Math.round(28 * 0.7)
        elide: Text.ElideRight
        maximumLineCount: 1
        color: root.textColor
        Accessible.ignored: true
    }

    function headlineText() {
        return rotation.lead + "<font color=\"" + AppStyle.accentColor + "\">" + rotation.accent + "</font>";
    }

    Headline {
        id: current
        objectName: "headlineText"
    }

    Headline {
        id: previous
        opacity: 0
    }

    Component.onCompleted: current.text = headlineText()
    Connections {
        target: rotation
        function onIndexChanged() {
            previous.text = current.text;
            current.text = root.headlineText();
            swap.restart();
        }
    }

    // The spring of the change (response 0.5 s, little overshoot) as an out-cubic curve of 0.5 s.
    ParallelAnimation {
        id: swap
        NumberAnimation { target: current; property: "y"; from: root.travel; to: 0; duration: 500; easing.type: Easing.OutCubic }
        NumberAnimation { target: current; property: "opacity"; from: 0; to: 1; duration: 500; easing.type: Easing.OutCubic }
        NumberAnimation { target: previous; property: "y"; from: 0; to: -root.travel; duration: 500; easing.type: Easing.OutCubic }
        NumberAnimation { target: previous; property: "opacity"; from: 1; to: 0; duration: 500; easing.type: Easing.OutCubic }
    }
}

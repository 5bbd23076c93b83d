import QtQuick
import Tavrine.Ui

// A ring that keeps swelling out of the asked button: from its edge to 6 px beyond while fading from 0.9 to 0,
// every 1.3 s. Under reduce motion it rests at the edge, under the button's own fill.
Item {
    id: root
    property bool still: false
    // 0 at the button's edge, 1 sent out.
    property real out: 0

    Accessible.ignored: true

    Rectangle {
        objectName: "askedButtonRing"
        anchors.fill: parent
        anchors.margins: -6 * root.out
        radius: height / 2
        color: "transparent"
        border.width: 2
        border.color: AppStyle.accentColor
        opacity: 0.9 * (1 - root.out)
    }

    NumberAnimation {
        target: root
        property: "out"
        from: 0
        to: 1
        duration: 1300
        easing.type: Easing.BezierSpline
        easing.bezierCurve: [0, 0, 0.58, 1, 1, 1]
        loops: Animation.Infinite
        running: !root.still && root.visible
        onRunningChanged: if (!running) root.out = 0
    }
}

import QtQuick
import Tavrine.Onboarding
import Tavrine.Ui

// A mouse pointer that keeps making small movements, as if someone were working: it glides between (-3, -2)
// and (5, 3), 1.6 s each way, while its window shows (a stage built ahead waits hidden). Under reduce motion it
// rests at (-3, -2).
Item {
    id: root
    property bool reduceMotion: false
    // 0 at rest, 1 moved.
    property real phase: 0
    readonly property real offsetX: -3 + 8 * phase
    readonly property real offsetY: -2 + 5 * phase
    // The size of the symbol at 15 points.
    readonly property real side: Math.round(15 * 1.2)

    // The software renderer has always drawn the arrow without its rim and shadow.
    readonly property bool effects: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    implicitWidth: side
    implicitHeight: side
    Accessible.ignored: true

    // The black arrow in a thin white rim, and the soft shadow of both: one picture, moved as a whole.
    Shadow {
        objectName: "workingPointerArrow"
        x: root.offsetX
        y: root.offsetY
        width: root.side
        height: root.side
        shapes: [{symbol: "qrc:/Tavrine/Onboarding/icons/cursorarrow.svg", rect: Qt.rect(0, 0, width, height)}]
        fill: "black"
        drawsShapes: true
        haloColor: root.effects ? "white" : "transparent"
        haloRadius: 0.6
        haloSpread: 0.6
        color: root.effects ? Scenery.sceneryColor("black", 0.25) : "transparent"
        blurRadius: 2
        verticalOffset: 1
    }

    SequentialAnimation {
        running: !root.reduceMotion && root.Window.visibility !== Window.Hidden
        loops: Animation.Infinite
        NumberAnimation {
            target: root; property: "phase"; from: 0; to: 1; duration: 1600
            easing.type: Easing.BezierSpline; easing.bezierCurve: Scenery.easeInOut
        }
        NumberAnimation {
            target: root; property: "phase"; from: 1; to: 0; duration: 1600
            easing.type: Easing.BezierSpline; easing.bezierCurve: Scenery.easeInOut
        }
        onRunningChanged: if (!running) root.phase = 0
    }
}

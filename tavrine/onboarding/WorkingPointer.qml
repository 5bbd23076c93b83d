import QtQuick
import Qt5Compat.GraphicalEffects
import Tavrine.Onboarding

// A mouse pointer that keeps making small movements, as if someone were working: it glides between (-3, -2)
// and (5, 3), 1.6 s each way, from the moment it is created. Under reduce motion it rests at (-3, -2).
Item {
    id: root
    property bool reduceMotion: false
    // 0 at rest, 1 moved.
    property real phase: 0
    readonly property real offsetX: -3 + 8 * phase
    readonly property real offsetY: -2 + 5 * phase

    // Shader effects draw only where the scene graph runs shaders (OpenGL and the other RHI backends); Qt Quick's
    // software renderer, and a window not yet initialised, leave them blank.
    readonly property bool effects: GraphicsInfo.shaderType === GraphicsInfo.RhiShader
    implicitWidth: arrow.width
    implicitHeight: arrow.height
    Accessible.ignored: true

    SymbolIcon {
        id: arrow
        symbol: "cursorarrow"
        pixelSize: 15
        color: "black"
        x: root.offsetX
        y: root.offsetY
        // Without shader effects the arrow shows without its shadows.
        visible: !root.effects
    }
    // The arrow with a white rim, then that with a soft shadow; made only where they can be drawn.
    Loader {
        active: root.effects
        x: root.offsetX
        y: root.offsetY
        sourceComponent: Item {
            width: arrow.width
            height: arrow.height
            DropShadow {
                id: rim
                source: arrow
                anchors.fill: parent
                color: "white"
                radius: 0.6
                samples: 3
                spread: 0.6
                visible: false
                cached: true
            }
            DropShadow {
                source: rim
                anchors.fill: parent
                color: Scenery.sceneryColor("black", 0.25)
                radius: 2
                samples: 5
                verticalOffset: 1
                // The shadow falls below the symbol's box.
                transparentBorder: true
                // Only its place changes as the pointer moves: blur it once.
                cached: true
            }
        }
    }

    SequentialAnimation {
        running: !root.reduceMotion
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

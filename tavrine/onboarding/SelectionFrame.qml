import QtQuick
import Tavrine.Onboarding

// A design tool's selection: a 1.5 px border inside the covered area, with square handles centred on its corners.
Item {
    id: root
    Accessible.ignored: true

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 1.5
        border.color: Scenery.rehearsalBlue
    }
    Repeater {
        model: 4
        Rectangle {
            required property int index
            objectName: "handle" + index
            readonly property real centreX: index % 2 === 0 ? 0 : root.width
            readonly property real centreY: index < 2 ? 0 : root.height
            x: centreX - 3
            y: centreY - 3
            width: 6
            height: 6
            color: "white"
            border.width: 1.5
            border.color: Scenery.rehearsalBlue
        }
    }
}

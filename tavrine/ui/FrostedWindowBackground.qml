import QtQuick
import Tavrine.Ui

// Put behind a window's content (its first child): makes the window translucent with the desktop blurred behind
// it, once, and lays the veil of the window colour over the blur. It takes no input, so clicks reach the content.
Item {
    id: root

    property bool compositorRunning: Frosted.compositorRunning

    anchors.fill: parent
    z: -1
    enabled: false

    Rectangle {
        objectName: "frostedVeil"
        anchors.fill: parent
        color: root.compositorRunning ? Frosted.veilColor : Frosted.windowColor
    }

    Window.onWindowChanged: Frosted.install(Window.window)
    Component.onCompleted: Frosted.install(Window.window)
}

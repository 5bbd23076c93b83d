import QtQuick
import Tavrine.Ui

// Put behind a window's content (its first child): makes the window translucent with the desktop blurred behind
// it, once, and lays the veil of the window colour over the blur; opaque while the desktop does not blur. It
// takes no input, so clicks reach the content.
Item {
    id: root

    property bool translucent: Frosted.translucent

    anchors.fill: parent
    z: -1
    enabled: false

    Rectangle {
        objectName: "frostedVeil"
        anchors.fill: parent
        color: root.translucent ? Frosted.veilColor : Frosted.windowColor
    }

    Window.onWindowChanged: Frosted.install(Window.window)
    Component.onCompleted: Frosted.install(Window.window)
}

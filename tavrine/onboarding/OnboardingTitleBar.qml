import QtQuick

// The pages reach the window's top edge: the window loses its decorations (its title stays, for the desktop's
// window lists), a 28-high strip along the top moves it, and close and minimise sit at the top leading corner.
// Leaving the window gives the decorations back and nothing else.
Item {
    id: bar
    height: 28
    readonly property var hostWindow: Window.window

    function restyle() {
        if (hostWindow && !(hostWindow.flags & Qt.FramelessWindowHint))
            hostWindow.flags = hostWindow.flags | Qt.FramelessWindowHint
    }
    onHostWindowChanged: restyle()
    Component.onCompleted: restyle()
    Component.onDestruction: {
        if (hostWindow && (hostWindow.flags & Qt.FramelessWindowHint))
            hostWindow.flags = hostWindow.flags & ~Qt.FramelessWindowHint
    }

    // One move per press. The window manager's grab cancels the handler's, and pointer moves still queued from
    // before it can make the handler active again: a second request would start a move with no button held,
    // which keeps the keyboard until the next click.
    property bool moveRequested: false
    TapHandler {
        onPressedChanged: if (pressed) bar.moveRequested = false
    }
    DragHandler {
        objectName: "onboardingDragStrip"
        target: null
        onActiveChanged: {
            if (active && bar.hostWindow && !bar.moveRequested) {
                bar.moveRequested = true
                bar.hostWindow.startSystemMove()
            }
        }
    }

    Row {
        x: 12
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        WindowDot {
            objectName: "onboardingClose"
            symbol: "xmark"
            Accessible.name: qsTr("Close")
            onClicked: bar.hostWindow.close()
        }
        WindowDot {
            objectName: "onboardingMinimize"
            symbol: "minus"
            Accessible.name: qsTr("Minimize")
            onClicked: bar.hostWindow.showMinimized()
        }
    }

    component WindowDot: Rectangle {
        id: dot
        property string symbol
        signal clicked()
        width: 14
        height: 14
        radius: 7
        color: hover.hovered ? Qt.rgba(0.12, 0.14, 0.18, 0.22) : Qt.rgba(0.12, 0.14, 0.18, 0.12)
        Accessible.role: Accessible.Button
        Accessible.onPressAction: dot.clicked()

        SymbolIcon {
            anchors.centerIn: parent
            symbol: dot.symbol
            pixelSize: 8
            color: Qt.rgba(0.12, 0.14, 0.18, 0.75)
            visible: hover.hovered
        }
        HoverHandler { id: hover }
        TapHandler { onTapped: dot.clicked() }
    }
}

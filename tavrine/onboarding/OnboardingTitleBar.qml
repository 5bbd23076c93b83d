import QtQuick

// The pages reach the window's top edge: the window loses its decorations (its title stays, for the desktop's
// window lists), a 28-high strip along the top moves it, and minimise and close sit at its right end.
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

    // As a Linux title bar has them: minimise, then close at the right edge, their symbols always drawn.
    Row {
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        spacing: 4

        WindowButton {
            objectName: "onboardingMinimize"
            symbol: "minus"
            Accessible.name: qsTr("Minimize")
            onClicked: bar.hostWindow.showMinimized()
        }
        WindowButton {
            objectName: "onboardingClose"
            symbol: "xmark"
            Accessible.name: qsTr("Close")
            onClicked: bar.hostWindow.close()
        }
    }

    component WindowButton: Rectangle {
        id: button
        property string symbol
        signal clicked()
        width: 22
        height: 22
        radius: 11
        color: hover.hovered ? Qt.rgba(0.12, 0.14, 0.18, 0.16) : "transparent"
        Accessible.role: Accessible.Button
        Accessible.onPressAction: button.clicked()

        SymbolIcon {
            objectName: "windowButtonSymbol"
            anchors.centerIn: parent
            symbol: button.symbol
            pixelSize: 10
            color: Qt.rgba(0.12, 0.14, 0.18, 0.8)
        }
        HoverHandler { id: hover }
        TapHandler { onTapped: button.clicked() }
    }
}

import QtQuick

// The card's frosted surface: the window colour at 0.8 over whatever the compositor shows behind, opaque
// without a compositor. Stands in for the shared frosted background until that lands.
Rectangle {
    property bool translucent: true
    SystemPalette { id: system }
    radius: 22
    antialiasing: true
    color: Qt.rgba(system.window.r, system.window.g, system.window.b, translucent ? 0.8 : 1.0)
}

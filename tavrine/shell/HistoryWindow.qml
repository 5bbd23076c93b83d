import QtQuick

// The History window: 800 × 600 at first, never smaller than what its content needs. The content comes with the
// history view.
Window {
    id: window
    property QtObject history

    width: 800
    height: 600
    minimumWidth: content.implicitWidth
    minimumHeight: content.implicitHeight
    color: palette.window

    SystemPalette { id: palette }

    Item {
        id: content
        objectName: "historyContent"
        anchors.fill: parent
        implicitWidth: 520
        implicitHeight: 360

        Text {
            anchors.centerIn: parent
            text: "History"
            color: palette.windowText
            font.pixelSize: 20
        }
    }
}

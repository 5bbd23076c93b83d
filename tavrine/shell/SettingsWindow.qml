import QtQuick

// The settings window takes exactly its content's size. The content comes with the settings view.
Window {
    id: window
    property QtObject session
    property QtObject history
    property QtObject updater

    width: content.implicitWidth
    height: content.implicitHeight
    minimumWidth: content.implicitWidth
    minimumHeight: content.implicitHeight
    maximumWidth: content.implicitWidth
    maximumHeight: content.implicitHeight
    color: palette.window

    SystemPalette { id: palette }

    Item {
        id: content
        objectName: "settingsContent"
        anchors.fill: parent
        implicitWidth: 480
        implicitHeight: 420

        Text {
            anchors.centerIn: parent
            text: "Settings"
            color: palette.windowText
            font.pixelSize: 20
        }
    }
}

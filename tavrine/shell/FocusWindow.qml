import QtQuick

// The main window: a frameless panel whose height follows its content. Its content comes with the main view.
Window {
    id: window
    property QtObject session

    width: content.implicitWidth
    height: content.implicitHeight
    minimumHeight: content.implicitHeight
    maximumHeight: content.implicitHeight
    color: palette.window

    SystemPalette { id: palette }

    Item {
        id: content
        objectName: "focusContent"
        anchors.fill: parent
        implicitWidth: 380
        implicitHeight: 260

        Text {
            anchors.centerIn: parent
            text: "Tavrine"
            color: palette.windowText
            font.pixelSize: 20
        }
    }
}

import QtQuick

// The first-run window; it takes exactly its content's size. The pages come with the onboarding.
Window {
    id: window
    property QtObject session

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
        objectName: "onboardingContent"
        anchors.fill: parent
        implicitWidth: 640
        implicitHeight: 480

        Text {
            anchors.centerIn: parent
            text: "Welcome to Tavrine"
            color: palette.windowText
            font.pixelSize: 24
        }
    }
}

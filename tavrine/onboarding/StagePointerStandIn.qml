import QtQuick
import Tavrine.Onboarding

// Stands in for the pointer at the tray icon until it lands: green on task, red off it.
Item {
    id: root
    property OnboardingRehearsal rehearsal
    property bool pointsDown: false
    readonly property real outlineRadius: 10

    implicitWidth: 190
    implicitHeight: 70

    Rectangle {
        anchors.fill: parent
        radius: root.outlineRadius
        color: root.rehearsal && !root.rehearsal.isOnTask ? "#d64545" : "#2f9e57"
        Text {
            objectName: "rehearsalPointerText"
            anchors.centerIn: parent
            text: root.rehearsal && !root.rehearsal.isOnTask ? "Red: off task" : "Green: on task"
            color: "white"
            font.pixelSize: 15
        }
    }
}

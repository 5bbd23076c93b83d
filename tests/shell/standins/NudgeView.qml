import QtQuick

// Stands in for the nudge card: a size the test chooses, and a button that takes clicks.
Rectangle {
    property QtObject session
    property QtObject hover
    property real fittingWidth: 480
    property real fittingHeight: 200
    objectName: "nudgeView"
    implicitWidth: fittingWidth
    implicitHeight: fittingHeight
    color: "#f4f4f4"
    radius: 16
    Text { anchors.centerIn: parent; text: "Time to get back to it"; textFormat: Text.PlainText }
}

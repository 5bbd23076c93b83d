import QtQuick

Rectangle {
    property QtObject session
    property QtObject hover
    objectName: "nudgeCloseButton"
    implicitWidth: 24
    implicitHeight: 24
    radius: 12
    color: "#888888"
}

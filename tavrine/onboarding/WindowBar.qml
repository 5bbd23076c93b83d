import QtQuick
import QtQuick.Layouts

// The title bar of a mock window. Its leading 78 px stay free for the window's own buttons.
Rectangle {
    id: root
    property color ground: "white"
    default property alias content: row.data

    color: ground
    implicitHeight: 46
    height: 46

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 78
        anchors.rightMargin: 16
        spacing: 14
    }
}

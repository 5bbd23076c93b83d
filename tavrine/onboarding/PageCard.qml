import QtQuick
import Tavrine.Ui

// The white card that holds the permissions, rehearsal and ready pages: 440 wide, content at the leading edge.
Item {
    id: card
    default property alias content: holder.data
    readonly property real contentWidth: 440 - 32

    implicitWidth: 440
    implicitHeight: holder.childrenRect.height + 32

    // Black at 8 %, blurred 18, 8 down.
    Shadow {
        anchors.fill: parent
        cornerRadius: 14
        color: Qt.rgba(0, 0, 0, 0.08)
        blurRadius: 18
        verticalOffset: 8
    }
    Rectangle {
        anchors.fill: parent
        radius: 14
        color: Qt.rgba(1, 1, 1, 0.72)
    }
    Item {
        id: holder
        x: 16
        y: 16
        width: card.contentWidth
        height: childrenRect.height
    }
}

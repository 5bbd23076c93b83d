import QtQuick

// The white card that holds the permissions, rehearsal and ready pages: 440 wide, content at the leading edge.
Item {
    id: card
    default property alias content: holder.data
    readonly property real contentWidth: 440 - 32

    implicitWidth: 440
    implicitHeight: holder.childrenRect.height + 32

    // A soft shadow 8 below the card, drawn as a few widening veils so every renderer shows it.
    Repeater {
        model: 6
        Rectangle {
            required property int index
            x: -index * 3
            y: 8 - index * 3
            width: card.width + index * 6
            height: card.height + index * 6
            radius: 14 + index * 3
            color: Qt.rgba(0, 0, 0, 0.08 / 6)
        }
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

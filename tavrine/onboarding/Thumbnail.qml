import QtQuick
import Qt5Compat.GraphicalEffects

// A suggested video's picture: the tint fading to 62 % along the diagonal, the emoji in the middle.
Item {
    id: thumbnail
    required property string emoji
    required property color tint

    Rectangle { id: shape; anchors.fill: parent; radius: 7; visible: false }
    LinearGradient {
        anchors.fill: parent
        source: shape
        start: Qt.point(0, 0)
        end: Qt.point(thumbnail.width, thumbnail.height)
        gradient: Gradient {
            GradientStop { position: 0; color: thumbnail.tint }
            GradientStop { position: 1; color: Qt.rgba(thumbnail.tint.r, thumbnail.tint.g, thumbnail.tint.b, 0.62) }
        }
    }
    Text {
        anchors.centerIn: parent
        text: thumbnail.emoji
        textFormat: Text.PlainText
        font.pixelSize: 22
    }
}

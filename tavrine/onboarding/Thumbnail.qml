import QtQuick
import Tavrine.Onboarding

// A suggested video's picture: the tint fading to 62 % along the diagonal, the emoji in the middle.
Item {
    id: thumbnail
    objectName: "rehearsalThumbnail"
    required property string emoji
    required property color tint

    DiagonalGradient {
        anchors.fill: parent
        radius: 7
        colors: [thumbnail.tint, Qt.rgba(thumbnail.tint.r, thumbnail.tint.g, thumbnail.tint.b, 0.62)]
    }
    Text {
        anchors.centerIn: parent
        text: thumbnail.emoji
        textFormat: Text.PlainText
        font.pixelSize: 22
    }
}

import QtQuick
import QtQuick.Controls.Basic

// The card's capsule button. Stands in for the shared pill button until that lands; the card uses only this
// file, so the switch is one edit here.
Button {
    id: control
    padding: 0
    leftPadding: 12
    rightPadding: 12
    topPadding: 5
    bottomPadding: 5
    font.pixelSize: 12
    font.weight: Font.Medium
    SystemPalette { id: system }
    property color textColor: system.buttonText

    contentItem: Text {
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        color: control.textColor
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        implicitHeight: 24
        radius: height / 2
        color: control.textColor
        opacity: control.down ? 0.22 : control.hovered ? 0.16 : 0.1
    }
}

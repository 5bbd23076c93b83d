import QtQuick
import QtQuick.Templates as T
import Tavrine.Ui

// A footer or row button of the onboarding, drawn light whatever the desktop's scheme: prominent is the accent
// capsule with a white label, the other the soft pill with ink.
T.Button {
    id: control

    property bool prominent: false
    property bool large: true
    readonly property color ink: Qt.rgba(0.12, 0.14, 0.18, 1)

    hoverEnabled: true
    leftPadding: large ? 18 : 10
    rightPadding: large ? 18 : 10
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: large ? 34 : 24
    font.pixelSize: large ? 14 : 12
    font.weight: Font.Medium
    opacity: enabled ? 1 : 0.45
    scale: pressed ? 0.97 : 1
    Accessible.name: text

    contentItem: Text {
        text: control.text
        font: control.font
        textFormat: Text.PlainText
        color: control.prominent ? "white" : control.ink
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: Item {
        Rectangle {
            anchors.fill: parent
            visible: control.prominent
            radius: height / 2
            color: AppStyle.accentColor
            opacity: control.pressed ? 0.85 : 1
        }
        PillSurface {
            anchors.fill: parent
            visible: !control.prominent
            dark: false
            hovering: control.hovered && control.enabled
            pressed: control.pressed
        }
    }
}

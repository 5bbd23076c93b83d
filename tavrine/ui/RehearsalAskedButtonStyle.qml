import QtQuick
import QtQuick.Controls.Basic
import Tavrine.Ui

// The button the rehearsal asks the user to press: a white bold label in an accent capsule with a slow pulse.
Button {
    id: control
    // Set while the pulse should stop (less motion).
    property bool still: false

    padding: 0
    leftPadding: 12
    rightPadding: 12
    topPadding: 5
    bottomPadding: 5
    font.pixelSize: 12
    font.bold: true

    contentItem: Text {
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        color: "white"
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: Item {
        implicitHeight: 24
        Rectangle {
            id: halo
            anchors.centerIn: parent
            width: parent.width
            height: parent.height
            radius: height / 2
            color: AppStyle.accentColor
            opacity: 0
            SequentialAnimation on scale {
                running: !control.still && control.visible
                loops: Animation.Infinite
                NumberAnimation { from: 1; to: 1.18; duration: 900; easing.type: Easing.OutQuad }
                PauseAnimation { duration: 300 }
            }
            SequentialAnimation on opacity {
                running: !control.still && control.visible
                loops: Animation.Infinite
                NumberAnimation { from: 0.45; to: 0; duration: 900; easing.type: Easing.OutQuad }
                PauseAnimation { duration: 300 }
            }
        }
        Rectangle {
            anchors.fill: parent
            radius: height / 2
            color: control.down ? Qt.darker(AppStyle.accentColor, 1.15) : AppStyle.accentColor
        }
    }
}

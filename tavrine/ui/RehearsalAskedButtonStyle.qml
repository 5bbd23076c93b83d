import QtQuick
import QtQuick.Controls
import Tavrine.Ui

// The button the rehearsal asks the user to press: a white bold label on one line in an accent capsule, a ring
// pulsing out of it and an accent shadow. Only the capsule takes clicks.
Button {
    id: control
    // Set while the pulse should stop (less motion).
    property bool still: false

    padding: 0
    leftPadding: 14
    rightPadding: 14
    topPadding: 0
    bottomPadding: 0
    font.pixelSize: 12
    font.bold: true
    implicitHeight: Math.max(28, implicitContentHeight)

    contentItem: Text {
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        color: "white"
        maximumLineCount: 1
        wrapMode: Text.NoWrap
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    containmentMask: QtObject {
        function contains(point: point): bool {
            const r = control.height / 2
            const cx = Math.min(Math.max(point.x, r), control.width - r)
            const dx = point.x - cx, dy = point.y - r
            return dx * dx + dy * dy <= r * r
        }
    }

    background: Item {
        implicitHeight: 28
        // The shadow of an opaque capsule, drawn on its own so a pressed fill leaves it unchanged: the accent at
        // half strength, blurred 8, 2 down.
        Shadow {
            objectName: "askedButtonShadow"
            anchors.fill: parent
            cornerRadius: height / 2
            color: Qt.rgba(AppStyle.accentColor.r, AppStyle.accentColor.g, AppStyle.accentColor.b, 0.5)
            blurRadius: 8
            verticalOffset: 2
        }
        AskedButtonPulse {
            anchors.fill: parent
            still: control.still
        }
        Rectangle {
            objectName: "askedButtonFill"
            anchors.fill: parent
            radius: height / 2
            color: AppStyle.accentColor
            opacity: control.down ? 0.75 : 1
        }
    }
}

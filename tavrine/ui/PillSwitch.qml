import QtQuick
import QtQuick.Templates as T
import Tavrine.Ui

// An on/off switch of the pill family: a capsule track, the soft pill when off and the accent when on, with a
// round knob on the side that is on.
T.Switch {
    id: control

    property bool dark: PillMetrics.dark

    hoverEnabled: true
    padding: 0
    implicitWidth: 38
    implicitHeight: 22
    opacity: PillMetrics.buttonOpacity(enabled)

    indicator: Item {
        objectName: "pillSwitchTrack"
        width: control.width
        height: control.height

        PillSurface {
            anchors.fill: parent
            visible: !control.checked
            dark: control.dark
            hovering: PillMetrics.showsHover(control.hovered, control.enabled)
            pressed: control.pressed
        }
        Rectangle {
            anchors.fill: parent
            visible: control.checked
            radius: height / 2
            color: AppStyle.accentColor
            opacity: control.pressed ? 0.85 : 1
        }
        Rectangle {
            objectName: "pillSwitchKnob"
            readonly property real inset: 2
            width: parent.height - 2 * inset
            height: width
            radius: width / 2
            y: inset
            x: control.checked ? parent.width - width - inset : inset
            color: "white"
            border.width: 1
            border.color: Qt.rgba(0, 0, 0, 0.12)
        }
    }
    contentItem: null
    background: null
}

import QtQuick
import Tavrine.Ui

// A button of the settings form or of an onboarding page, in the application's pill family: the soft pill, or
// when prominent the accent capsule with a white label.
PillButton {
    id: control

    property bool prominent: false
    readonly property bool drawnProminent: AppStyle.adaptiveButtonProminent(prominent)

    labelColor: drawnProminent ? "white" : PillMetrics.labelColor(dark)

    background: Item {
        objectName: "adaptiveButtonBackground"
        Rectangle {
            anchors.fill: parent
            visible: control.drawnProminent
            radius: height / 2
            color: AppStyle.accentColor
            opacity: control.pressed ? 0.85 : 1
        }
        PillSurface {
            objectName: "pillSurface"
            anchors.fill: parent
            visible: !control.drawnProminent
            dark: control.dark
            hovering: PillMetrics.showsHover(control.hovered, control.enabled)
            pressed: control.pressed
        }
    }
}

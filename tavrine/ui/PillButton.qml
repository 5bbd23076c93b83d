import QtQuick
import QtQuick.Templates as T
import Tavrine.Ui

// The application's button: a capsule as wide as its label, or a circle. Sizes follow `controlSize`.
T.Button {
    id: control

    enum Shape { Capsule, Circle }

    property int shape: PillButton.Capsule
    // A circle's diameter; 0 takes it from the control size.
    property real diameter: 0
    property bool selected: false
    property int controlSize: PillMetrics.Regular
    property bool dark: PillMetrics.dark

    readonly property bool isCircle: shape === PillButton.Circle
    readonly property real circleDiameter: diameter > 0 ? diameter : PillMetrics.minimumHeight(controlSize)

    hoverEnabled: true
    padding: 0
    leftPadding: isCircle ? 0 : PillMetrics.horizontalPadding(controlSize)
    rightPadding: isCircle ? 0 : PillMetrics.horizontalPadding(controlSize)
    implicitWidth: isCircle ? circleDiameter : implicitContentWidth + leftPadding + rightPadding
    implicitHeight: isCircle ? circleDiameter : Math.max(PillMetrics.minimumHeight(controlSize), implicitContentHeight)

    font.pixelSize: PillMetrics.fontSize(controlSize)
    font.weight: Font.Medium

    scale: pressed ? PillMetrics.pressedScale : 1
    opacity: PillMetrics.buttonOpacity(enabled)
    Behavior on scale {
        NumberAnimation { duration: PillMetrics.pressAnimationMs; easing.type: Easing.OutQuad }
    }

    Accessible.name: text

    contentItem: Text {
        objectName: "pillLabel"
        text: control.text
        font: control.font
        textFormat: Text.PlainText
        color: PillMetrics.labelColor(control.dark)
        opacity: PillMetrics.foregroundOpacity(control.enabled)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        wrapMode: control.isCircle ? Text.Wrap : Text.NoWrap
        maximumLineCount: control.isCircle ? 100 : 1
    }

    background: PillSurface {
        objectName: "pillSurface"
        selected: control.selected
        hovering: PillMetrics.showsHover(control.hovered, control.enabled)
        pressed: control.pressed
        dark: control.dark
    }
}

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
    property color labelColor: PillMetrics.labelColor(dark)

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

    // A symbol before the label, or alone with `display: AbstractButton.IconOnly` (the text then only names it).
    property string iconName
    property real iconSize: PillMetrics.fontSize(controlSize) + 3

    contentItem: Item {
        readonly property bool showsIcon: control.iconName !== ""
        readonly property bool showsText: control.text !== "" && control.display !== T.AbstractButton.IconOnly
        readonly property real iconPart: showsIcon ? symbol.width + (showsText ? 6 : 0) : 0
        implicitWidth: iconPart + (showsText ? label.implicitWidth : 0)
        implicitHeight: Math.max(showsIcon ? symbol.height : 0, showsText ? label.implicitHeight : 0)

        Row {
            anchors.centerIn: parent
            spacing: 6
            SymbolIcon {
                id: symbol
                visible: parent.parent.showsIcon
                anchors.verticalCenter: parent.verticalCenter
                symbol: control.iconName
                size: control.iconSize
                color: label.color
                opacity: label.opacity
            }
            Text {
                id: label
                objectName: "pillLabel"
                visible: parent.parent.showsText
                width: Math.min(implicitWidth, parent.parent.width - parent.parent.iconPart)
                text: control.text
                font: control.font
                textFormat: Text.PlainText
                color: control.labelColor
                opacity: PillMetrics.foregroundOpacity(control.enabled)
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                wrapMode: control.isCircle ? Text.Wrap : Text.NoWrap
                maximumLineCount: control.isCircle ? 100 : 1
                elide: control.isCircle ? Text.ElideNone : Text.ElideRight
            }
        }
    }

    background: PillSurface {
        objectName: "pillSurface"
        selected: control.selected
        hovering: PillMetrics.showsHover(control.hovered, control.enabled)
        pressed: control.pressed
        dark: control.dark
    }
}

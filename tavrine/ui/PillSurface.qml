import QtQuick
import Tavrine.Ui

// The soft translucent pill behind a button or any other control: a capsule filled with white (dark scheme) or
// black (light scheme) that brightens when selected, hovered or pressed, an inner border that fades from top to
// bottom, and a small shadow. It takes the size of what it lies behind.
Item {
    id: root

    property bool selected: false
    property bool hovering: false
    property bool pressed: false
    property bool dark: PillMetrics.dark

    readonly property real radius: Math.min(width, height) / 2
    readonly property real fillOpacity: PillMetrics.fillOpacity(dark, selected, hovering, pressed)
    readonly property real borderTopOpacity: PillMetrics.borderTopOpacity(dark, selected)
    readonly property real borderBottomOpacity: PillMetrics.borderBottomOpacity(dark)

    implicitWidth: 34
    implicitHeight: 34

    // The software renderer has always drawn the capsule without its shadow.
    readonly property bool effectsAvailable: GraphicsInfo.api !== GraphicsInfo.Software
        && GraphicsInfo.api !== GraphicsInfo.Unknown

    // The shadow of what the capsule covers (its fill and its edge), drawn once and kept while nothing changes.
    Shadow {
        objectName: "pillShadow"
        visible: root.effectsAvailable
        anchors.fill: capsule
        cornerRadius: root.radius
        fill: pillFill.color
        edgeTop: pillBorder.topColor
        edgeBottom: pillBorder.bottomColor
        verticalOffset: PillMetrics.shadowOffsetY
        blurRadius: PillMetrics.shadowRadius
        color: Qt.rgba(0, 0, 0, PillMetrics.shadowOpacity(root.dark))
    }

    Item {
        id: capsule
        anchors.fill: parent

        Rectangle {
            id: pillFill
            objectName: "pillFill"
            anchors.fill: parent
            radius: root.radius
            color: PillMetrics.ink(root.dark, root.fillOpacity)
            Behavior on color {
                ColorAnimation { duration: PillMetrics.hoverAnimationMs; easing.type: Easing.OutQuad }
            }
        }

        CapsuleBorder {
            id: pillBorder
            objectName: "pillBorder"
            anchors.fill: parent
            radius: root.radius
            topColor: PillMetrics.ink(root.dark, root.borderTopOpacity)
            bottomColor: PillMetrics.ink(root.dark, root.borderBottomOpacity)
        }
    }
}

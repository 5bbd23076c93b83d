import QtQuick
import Qt5Compat.GraphicalEffects
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

    // The shadow effect draws the capsule itself; the software renderer has no shader effects, so there the
    // capsule is drawn as it is, without a shadow.
    readonly property bool effectsAvailable: GraphicsInfo.api !== GraphicsInfo.Software
        && GraphicsInfo.api !== GraphicsInfo.Unknown

    Item {
        id: capsule
        anchors.fill: parent
        visible: !root.effectsAvailable

        Rectangle {
            objectName: "pillFill"
            anchors.fill: parent
            radius: root.radius
            color: PillMetrics.ink(root.dark, root.fillOpacity)
            Behavior on color {
                ColorAnimation { duration: PillMetrics.hoverAnimationMs; easing.type: Easing.OutQuad }
            }
        }

        CapsuleBorder {
            objectName: "pillBorder"
            anchors.fill: parent
            radius: root.radius
            topColor: PillMetrics.ink(root.dark, root.borderTopOpacity)
            bottomColor: PillMetrics.ink(root.dark, root.borderBottomOpacity)
        }
    }

    DropShadow {
        objectName: "pillShadow"
        visible: root.effectsAvailable
        anchors.fill: capsule
        source: capsule
        horizontalOffset: 0
        verticalOffset: PillMetrics.shadowOffsetY
        radius: PillMetrics.shadowRadius
        samples: 7
        color: Qt.rgba(0, 0, 0, PillMetrics.shadowOpacity(root.dark))
        transparentBorder: true
    }
}

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

        // A one-point stroke inside the edge; QML rectangles have no gradient borders.
        Canvas {
            id: border
            objectName: "pillBorder"
            anchors.fill: parent
            property color topColor: PillMetrics.ink(root.dark, root.borderTopOpacity)
            property color bottomColor: PillMetrics.ink(root.dark, root.borderBottomOpacity)
            onTopColorChanged: requestPaint()
            onBottomColorChanged: requestPaint()
            onWidthChanged: requestPaint()
            onHeightChanged: requestPaint()
            onPaint: {
                const ctx = getContext("2d");
                ctx.reset();
                if (width < 2 || height < 2)
                    return;
                const r = Math.max(0, root.radius - 0.5);
                const w = width - 1;
                const h = height - 1;
                const gradient = ctx.createLinearGradient(0, 0, 0, height);
                gradient.addColorStop(0, topColor);
                gradient.addColorStop(1, bottomColor);
                ctx.strokeStyle = gradient;
                ctx.lineWidth = 1;
                ctx.beginPath();
                ctx.moveTo(0.5 + r, 0.5);
                ctx.lineTo(0.5 + w - r, 0.5);
                ctx.arcTo(0.5 + w, 0.5, 0.5 + w, 0.5 + r, r);
                ctx.lineTo(0.5 + w, 0.5 + h - r);
                ctx.arcTo(0.5 + w, 0.5 + h, 0.5 + w - r, 0.5 + h, r);
                ctx.lineTo(0.5 + r, 0.5 + h);
                ctx.arcTo(0.5, 0.5 + h, 0.5, 0.5 + h - r, r);
                ctx.lineTo(0.5, 0.5 + r);
                ctx.arcTo(0.5, 0.5, 0.5 + r, 0.5, r);
                ctx.closePath();
                ctx.stroke();
            }
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

import QtQuick
import Tavrine.Onboarding
// Qualified: its own SymbolIcon is not the scenery's.
import Tavrine.Ui as Ui

// A label that hangs at the tray icon and says what its colour means: green while on task, red while drifting,
// gone while the nudge shows. With the tray at the bottom (`pointsDown`) the arrow sits under the label.
Item {
    id: root
    property int beat: 0
    property bool pointsDown: false
    // Where the icon is, from the item's middle: the item stops at the screen's sides, the arrow goes on. The
    // label follows as far as the item lets it, and the arrow stays over the label's straight edge.
    property real arrowOffset: 0
    readonly property real labelShift: {
        const room = Math.max(0, (width - capsule.width) / 2 - 2)
        return Math.max(-room, Math.min(room, arrowOffset))
    }
    readonly property real arrowShift: {
        const reach = Math.max(0, capsule.width / 2 - capsule.radius)
        return Math.max(labelShift - reach, Math.min(labelShift + reach, arrowOffset))
    }
    readonly property var pointer: Scenery.pointerState(beat)
    readonly property bool onTask: pointer.onTask
    property color tint: pointer.tint
    Behavior on tint { ColorAnimation { duration: 300; easing.type: Easing.BezierSpline; easing.bezierCurve: Scenery.easeInOut } }
    // The arrow's triangle and the label's capsule within the item, for a window mask where nothing composites.
    // The triangle is the symbol's (24 units a side) with its stroke and a little to spare, turned over when the
    // arrow points down.
    readonly property var outline: {
        const x = group.x + arrow.x
        const y = group.y + arrow.y
        const unit = arrow.width / 24
        const tip = root.pointsDown ? y + 21.5 * unit : y + 2.5 * unit
        const base = root.pointsDown ? y + 3 * unit : y + 21 * unit
        return [
            {points: [Qt.point(x + 12 * unit, tip), Qt.point(x + 22.5 * unit, base), Qt.point(x + 1.5 * unit, base)]},
            {rect: Qt.rect(group.x + capsule.x, group.y + capsule.y, capsule.width, capsule.height),
             radius: capsule.radius}
        ]
    }

    implicitWidth: group.implicitWidth + 24
    implicitHeight: group.implicitHeight + 2 + 14

    Item {
        id: group
        objectName: "pointerGroup"
        implicitWidth: Math.max(arrow.width, capsule.width)
        implicitHeight: arrow.height + 3 + capsule.height
        width: implicitWidth
        height: implicitHeight
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.horizontalCenterOffset: root.labelShift
        anchors.top: root.pointsDown ? undefined : parent.top
        anchors.topMargin: 2
        anchors.bottom: root.pointsDown ? parent.bottom : undefined
        anchors.bottomMargin: 2
        opacity: root.pointer.opacity
        Behavior on opacity { NumberAnimation { duration: 200; easing.type: Easing.BezierSpline; easing.bezierCurve: Scenery.easeInOut } }
        Accessible.role: Accessible.StaticText
        Accessible.name: root.pointer.accessibleLabel
        // While it fades, the group is drawn as one picture, shadow included, so that the shadow does not show
        // through the half-clear label.
        layer.enabled: opacity > 0 && opacity < 1
        layer.sourceRect: Qt.rect(-12, -12, width + 24, height + 28)

        // The shadow of the arrow and the label together: black at 0.3, blurred 10, 4 down.
        Ui.Shadow {
            objectName: "pointerShadow"
            anchors.fill: parent
            // The software renderer has always drawn the pointer without its shadow.
            visible: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
            shapes: [
                {symbol: "qrc:/Tavrine/Onboarding/icons/arrowtriangle.up.fill.svg",
                 rect: Qt.rect(arrow.x, arrow.y, arrow.width, arrow.height), rotation: arrow.rotation},
                {rect: Qt.rect(capsule.x, capsule.y, capsule.width, capsule.height), radius: capsule.radius}
            ]
            color: Qt.rgba(0, 0, 0, 0.3)
            blurRadius: 10
            verticalOffset: 4
        }

        SymbolIcon {
            id: arrow
            objectName: "pointerArrow"
            symbol: "arrowtriangle.up.fill"
            pixelSize: 12
            color: root.tint
            rotation: root.pointsDown ? 180 : 0
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.horizontalCenterOffset: root.arrowShift - root.labelShift
            y: root.pointsDown ? capsule.height + 3 : 0
        }
        Rectangle {
            id: capsule
            objectName: "pointerLabel"
            anchors.horizontalCenter: parent.horizontalCenter
            y: root.pointsDown ? 0 : arrow.height + 3
            width: (root.onTask ? green.implicitWidth : red.implicitWidth) + 24
            height: green.implicitHeight + 12
            radius: height / 2
            color: root.tint
            Behavior on width { NumberAnimation { duration: 300; easing.type: Easing.BezierSpline; easing.bezierCurve: Scenery.easeInOut } }
            // The two texts cross-fade.
            PointerText { id: green; text: Scenery.pointerState(0).label; shown: root.onTask }
            PointerText { id: red; text: Scenery.pointerState(2).label; shown: !root.onTask }
        }
    }

    component PointerText: Text {
        property bool shown
        anchors.centerIn: parent
        textFormat: Text.PlainText
        font.pixelSize: 13
        font.weight: Font.DemiBold
        color: Scenery.rehearsalInk
        opacity: shown ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 300; easing.type: Easing.BezierSpline; easing.bezierCurve: Scenery.easeInOut } }
    }
}

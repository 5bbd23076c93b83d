import QtQuick
import QtQuick.Controls
import Tavrine.Nudge
import Tavrine.Ui

// The floating card's close button, shown while the pointer is over the card or over the button. Without a
// compositor it cannot fade: the host hides its panel while `shown` is false.
Item {
    id: root
    objectName: "nudgeCloseButtonView"

    property QtObject session
    property NudgeHoverState hover: null
    property bool translucent: true
    readonly property bool shown: hover ? (hover.card || hover.close) : false
    // Round: a panel that cannot be translucent (no compositor) is cut to it.
    readonly property real outlineRadius: width / 2

    implicitWidth: 24
    implicitHeight: 24

    NudgeCardSession {
        id: cardSession
        session: root.session
    }
    NudgeCardModel {
        id: rules
    }
    SystemPalette {
        id: system
    }

    AbstractButton {
        id: button
        objectName: "nudgeClose"
        anchors.fill: parent
        opacity: root.shown ? 1 : 0
        Behavior on opacity {
            enabled: root.translucent
            NumberAnimation {
                duration: 120
                easing.type: Easing.Bezier
                easing.bezierCurve: NudgeAnimations.easeInOut
            }
        }
        Accessible.name: qsTr("Close")
        onClicked: cardSession.acknowledgeNudge()

        background: Rectangle {
            radius: width / 2
            color: rules.closeButtonFill(system.window)
        }
        contentItem: Item {
                XmarkIcon {
                    anchors.centerIn: parent
                    width: 8
                    height: 8
                    color: system.windowText
                }
            }
        HoverHandler {
            onHoveredChanged: if (root.hover) root.hover.close = hovered
        }
    }

    // In a tool-tip window of its own: a tip inside this 24 px panel would lie over the button and take its clicks.
    DesktopToolTip {
        objectName: "nudgeCloseToolTip"
        target: button
        text: qsTr("Close")
        wanted: button.hovered && root.shown
        delay: 600
    }
}

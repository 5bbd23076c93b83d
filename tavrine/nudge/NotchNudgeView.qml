import QtQuick
import QtQuick.Controls
import Tavrine.Nudge
import Tavrine.Ui as Ui

// The nudge in a black silhouette that grows out of the notch: closed it covers the notch and a little beside
// it, open it carries the close row and the card. Every animation is keyed to the state's isOpen.
Item {
    id: root
    objectName: "notchNudgeView"

    property NotchNudgeState panelState: null
    property QtObject session
    property bool reduceMotion: false
    // Without a compositor the window is cut to the open silhouette and nothing animates.
    property bool translucent: true

    readonly property bool open: panelState ? panelState.isOpen : false
    readonly property size notch: panelState ? panelState.notch : Qt.size(200, 32)
    // The area of the close row and the card, 10 in from each side.
    readonly property real areaWidth: body.implicitWidth
    readonly property real areaHeight: body.implicitHeight

    implicitWidth: areaWidth + 48
    implicitHeight: areaHeight + 28

    NudgeCardSession {
        id: cardSession
        session: root.session
    }

    NotchOpenness {
        id: openness
        objectName: "notchOpenness"
        open: root.open
        reduceMotion: root.reduceMotion
        animated: root.translucent
    }

    // A new nudge text that arrives while the panel is open resizes the silhouette with a spring of its own.
    ReasonChangeSpring {
        id: openHeight
        objectName: "openHeight"
        target: root.areaHeight
        animated: root.open && root.translucent
    }

    Item {
        id: area
        x: (root.width - width) / 2
        y: 0
        width: root.areaWidth
        height: root.areaHeight

        Ui.Shadow {
            anchors.fill: silhouette
            shapes: [{outline: silhouette.outline}]
            color: "black"
            blurRadius: 14
            verticalOffset: 8
            opacity: 0.35 * openness.progress
            visible: root.translucent
        }

        NotchShapeItem {
            id: silhouette
            objectName: "notchSilhouette"
            anchors.horizontalCenter: parent.horizontalCenter
            y: 0
            width: mix(root.notch.width + 12, area.width)
            height: mix(root.notch.height, openHeight.value)
            earRadius: mix(6, 10)
            bottomRadius: mix(10, 26)
            function mix(closed, open) { return closed + (open - closed) * openness.progress }
        }

        // The content is cut to the silhouette's bounds while it grows or shrinks; a clip rather than a shader
        // mask, so it shows on every scene graph backend.
        Item {
            id: masked
            anchors.horizontalCenter: parent.horizontalCenter
            width: silhouette.width
            height: silhouette.height
            clip: true

            Item {
                id: body
                objectName: "notchBody"
                x: (masked.width - area.width) / 2
                width: area.width
                height: area.height
                implicitWidth: column.implicitWidth + 20
                implicitHeight: column.implicitHeight
                transformOrigin: Item.Top
                opacity: root.open ? 1 : 0
                scale: root.open || root.reduceMotion ? 1 : 0.9
                property real blurRadius: root.open || root.reduceMotion ? 0 : 10
                // Blurred without a shader made at run time: drawn into a layer the smaller the larger the radius,
                // then stretched back over the body with linear filtering.
                layer.enabled: blurRadius > 0
                layer.smooth: true
                layer.textureSize: Qt.size(Math.max(1, Math.ceil(width / (1 + blurRadius / 3))),
                                           Math.max(1, Math.ceil(height / (1 + blurRadius / 3))))
                Behavior on opacity { enabled: root.translucent; SequentialAnimation {
                        PauseAnimation { duration: root.open ? 120 : 0 }
                        NumberAnimation {
                            duration: root.open ? 300 : 140
                            easing.type: Easing.Bezier
                            easing.bezierCurve: root.open ? NudgeAnimations.easeOut : NudgeAnimations.easeIn
                        }
                    } }
                Behavior on scale { enabled: root.translucent; SequentialAnimation {
                        PauseAnimation { duration: root.open ? 120 : 0 }
                        NumberAnimation {
                            duration: root.open ? 300 : 140
                            easing.type: Easing.Bezier
                            easing.bezierCurve: root.open ? NudgeAnimations.easeOut : NudgeAnimations.easeIn
                        }
                    } }
                Behavior on blurRadius { enabled: root.translucent; SequentialAnimation {
                        PauseAnimation { duration: root.open ? 120 : 0 }
                        NumberAnimation {
                            duration: root.open ? 300 : 140
                            easing.type: Easing.Bezier
                            easing.bezierCurve: root.open ? NudgeAnimations.easeOut : NudgeAnimations.easeIn
                        }
                    } }

                // Laid out by hand rather than by a positioner, so that the fitting size follows a new reason at
                // once, before the next polish.
                Item {
                    id: column
                    x: 10
                    width: 440
                    implicitWidth: 440
                    implicitHeight: card.y + card.height

                    Item {
                        id: closeRow
                        objectName: "closeRow"
                        width: 440
                        height: Math.max(28, root.notch.height)
                        AbstractButton {
                            objectName: "nudgeClose"
                            anchors.right: parent.right
                            anchors.rightMargin: 14
                            anchors.verticalCenter: parent.verticalCenter
                            width: 20
                            height: 20
                            Accessible.name: qsTr("Close")
                            ToolTip.text: qsTr("Close")
                            ToolTip.visible: hovered
                            ToolTip.delay: 600
                            onClicked: cardSession.acknowledgeNudge()
                            background: Rectangle {
                                radius: width / 2
                                color: Qt.rgba(1, 1, 1, 0.14)
                            }
                            contentItem: Item {
                XmarkIcon {
                    anchors.centerIn: parent
                    width: 8
                    height: 8
                    color: Qt.rgba(1, 1, 1, 0.85)
                }
            }
                        }
                    }

                    NudgeCardContent {
                        id: card
                        width: 440
                        height: implicitHeight
                        // It overlaps the close row by 8.
                        y: closeRow.height - 8
                        textColor: "white"
                        reason: root.panelState ? root.panelState.reason : ""
                        intention: root.panelState ? root.panelState.intention : ""
                        isFocusSession: root.panelState ? root.panelState.isFocusSession : false
                        voice: cardSession.meter
                        revealedAt: root.panelState ? root.panelState.revealedAt : NaN
                        pointsAtBack: cardSession.pointsAtBack
                        reduceMotion: root.reduceMotion
                        onBack: cardSession.returnToWork()
                        onRelevant: cardSession.grantSessionPass()
                        onTakeBreak: cardSession.pause()
                    }
                }

                NudgeVoiceGlow {
                    objectName: "voiceGlow"
                    anchors.fill: parent
                    meter: cardSession.meter
                    visible: cardSession.meter ? cardSession.meter.isVoiced : false
                    reduceMotion: root.reduceMotion
                    Accessible.ignored: true
                }
            }
        }
    }
}

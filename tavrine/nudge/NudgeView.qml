import QtQuick
import Tavrine.Nudge

// The floating nudge card: the card on its frosted surface, the voice glow over it (it takes no clicks), and
// the hover tracking that shows the close button. Its implicit size is the card's own.
Item {
    id: root
    objectName: "nudgeView"

    property QtObject session
    property NudgeHoverState hover: null
    property bool reduceMotion: false
    // Whether the panel can be translucent (a compositor runs); the surface asks for the desktop's blur too.
    property bool translucent: true
    readonly property NudgeCardSession card: cardSession
    // The card's corners: a panel that cannot be translucent (no compositor) is cut to them.
    readonly property real outlineRadius: 22
    // Stands in for the reason while the card is drawn out of sight ahead of its first nudge, so that it draws a
    // sentence as a nudge does; empty whenever the card shows.
    property string standInReason

    implicitWidth: content.implicitWidth
    implicitHeight: content.implicitHeight

    NudgeCardSession {
        id: cardSession
        session: root.session
    }

    NudgeSurface {
        anchors.fill: parent
        radius: root.outlineRadius
        translucent: root.translucent
    }

    NudgeCardContent {
        id: content
        anchors.fill: parent
        reason: root.standInReason !== "" ? root.standInReason : cardSession.reason
        intention: cardSession.intention
        isFocusSession: cardSession.isFocusSession
        voice: cardSession.meter
        pointsAtBack: cardSession.pointsAtBack
        reduceMotion: root.reduceMotion
        onBack: cardSession.returnToWork()
        onRelevant: cardSession.grantSessionPass()
        onTakeBreak: cardSession.pause()
    }

    NudgeVoiceGlow {
        id: glow
        objectName: "voiceGlow"
        anchors.fill: parent
        cornerRadius: root.outlineRadius
        meter: cardSession.meter
        // The glow is there only while the voice sounds.
        visible: cardSession.meter ? cardSession.meter.isVoiced : false
        reduceMotion: root.reduceMotion
        Accessible.ignored: true
    }

    // X11 reports the pointer to windows that are not active too, and the handler takes no clicks.
    HoverHandler {
        onHoveredChanged: if (root.hover) root.hover.card = hovered
    }
}

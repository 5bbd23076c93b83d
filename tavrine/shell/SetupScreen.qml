import QtQuick
import QtQuick.Templates as T
import QtQuick.Layouts
import Tavrine.Ui
import Tavrine.Shell

// The setup: the headline, the intention, the length warning, the duration, the start hint, and the start
// row. Return starts Focus mode while the intention is blank and the session once it is written.
ColumnLayout {
    id: root

    required property SetupController setup
    required property DurationModel duration
    // Room above the headline for what the host lays over the screen's top edge.
    property real headlineTopInset: 0
    // The host draws the headline over this room: it changes while everything else here stays.
    property real headlineHeight: 0
    readonly property Item headlineSlot: headlineSlot
    // Where the controls below the headline start.
    readonly property real controlsTop: field.y
    // Whether the host keeps what lies around the headline as a picture. The software renderer repaints only what
    // changed already: a picture would only cost it memory. The picture is taken once the window is on screen (it
    // becomes active as the window manager shows it, or a moment after it shows): it costs a render pass of its
    // own, which the window's first frame, the one the user waits for, does not pay. The focus ring fades in then,
    // so that the texts settling into the picture goes with a change that is under way anyway.
    readonly property bool keepsPictures: pictureTime.onScreen && GraphicsInfo.api !== GraphicsInfo.Software
        && GraphicsInfo.api !== GraphicsInfo.Unknown

    Timer {
        id: pictureTime
        objectName: "pictureTime"
        property bool onScreen: false
        interval: root.Window.active ? 0 : 500
        running: !onScreen && root.Window.window !== null && root.Window.window.visible
        onTriggered: onScreen = true
    }

    spacing: 16

    SystemPalette { id: palette }

    // Whenever this screen shows (at launch, after "Again", after onboarding, from the hot key), what the user
    // types is the intention: a key pressed elsewhere would be lost, and Return would start Focus mode. The
    // window calls this as it shows and as it becomes active.
    function focusIntention() {
        if (root.visible)
            input.forceActiveFocus()
    }

    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: root.visible
        onActivated: root.setup.submitIntention()
    }

    Item {
        id: headlineSlot
        Layout.fillWidth: true
        Layout.topMargin: root.headlineTopInset
        implicitHeight: root.headlineHeight
    }

    Item {
        id: field
        Layout.fillWidth: true
        Layout.preferredHeight: 40
        implicitHeight: 40

        PillSurface {
            anchors.fill: parent
            selected: input.activeFocus
            hovering: hover.hovered
        }
        HoverHandler { id: hover }
        TapHandler {
            onTapped: {
                input.forceActiveFocus()
                caret.wake()
            }
        }

        CaretBlink {
            id: caret
            objectName: "intentionCaretBlink"
            focused: input.activeFocus
        }

        TextInput {
            id: input
            objectName: "intention"
            anchors.fill: parent
            anchors.leftMargin: 16
            anchors.rightMargin: 16
            verticalAlignment: TextInput.AlignVCenter
            clip: true
            font.pixelSize: 14
            color: palette.windowText
            selectionColor: AppStyle.accentColor
            selectedTextColor: "white"
            text: root.setup.intention
            onTextEdited: root.setup.intention = text
            focus: true
            // The field's own visibility: only once it really shows can it take the focus.
            onVisibleChanged: root.focusIntention()
            // The caret stops blinking after a while without typing; a key or a click wakes it.
            cursorDelegate: Rectangle {
                objectName: "intentionCaret"
                width: 1
                color: input.color
                visible: input.cursorVisible && caret.shown
            }
            Keys.onPressed: event => {
                caret.wake()
                event.accepted = false
            }
            TapHandler {
                onPressedChanged: if (pressed) caret.wake()
            }
            Accessible.role: Accessible.EditableText
            Accessible.name: "Intention"

            Text {
                anchors.fill: parent
                verticalAlignment: Text.AlignVCenter
                visible: input.text.length === 0
                text: "Finish the pricing proposal for Acme"
                font: input.font
                // The secondary style on the field's capsule, however lit it is.
                color: SystemInk.secondaryOn(PillMetrics.ink(PillMetrics.dark, 0.2))
                elide: Text.ElideRight
            }
        }
    }

    Text {
        objectName: "lengthWarning"
        visible: root.setup.intentionTooLong
        Layout.fillWidth: true
        text: root.setup.lengthWarning
        font.pixelSize: 11
        color: "#ff3b30"
        wrapMode: Text.Wrap
    }

    DurationSelector {
        Layout.fillWidth: true
        model: root.duration
    }

    RowLayout {
        objectName: "startHint"
        visible: root.setup.startHint !== ""
        Layout.fillWidth: true
        spacing: 5
        SymbolIcon {
            Layout.alignment: Qt.AlignTop
            Layout.topMargin: 1
            symbol: "exclamationmark.circle"
            size: 12
            color: PillMetrics.dark ? "#ff9f0a" : "#e08600"
        }
        Text {
            Layout.fillWidth: true
            text: root.setup.startHint
            font.pixelSize: 11
            color: PillMetrics.dark ? "#ff9f0a" : "#e08600"
            wrapMode: Text.Wrap
        }
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 10

        PillButton {
            objectName: "start"
            Layout.fillWidth: true
            controlSize: PillMetrics.Large
            text: "Start focus session"
            enabled: root.setup.canStart
            onClicked: root.setup.startSession()
        }

        // Slides out as the first non-blank character is typed, and back when the field is cleared.
        Item {
            id: focusSlot
            readonly property bool shown: root.setup.intentionIsBlank
            visible: Layout.preferredWidth > 0.5
            Layout.preferredWidth: shown ? focusButton.implicitWidth : 0
            Layout.preferredHeight: focusButton.implicitHeight
            Behavior on Layout.preferredWidth { NumberAnimation { duration: 350; easing.type: Easing.OutCubic } }

            PillButton {
                id: focusButton
                objectName: "focusMode"
                anchors.right: parent.right
                shape: PillButton.Circle
                controlSize: PillMetrics.Large
                iconName: "moon.fill"
                display: T.AbstractButton.IconOnly
                text: "Start Focus mode"
                enabled: root.setup.canStartFocusMode
                opacity: focusSlot.shown ? PillMetrics.buttonOpacity(enabled) : 0
                scale: focusSlot.shown ? 1 : 0.4
                Behavior on opacity { NumberAnimation { duration: 250 } }
                Behavior on scale { NumberAnimation { duration: 350; easing.type: Easing.OutCubic } }
                T.ToolTip.text: "Focus mode: no intention needed. Feeds, chats, and news count as drift."
                T.ToolTip.visible: hovered
                T.ToolTip.delay: 600
                onClicked: root.setup.startFocusMode()
            }
        }
    }
}

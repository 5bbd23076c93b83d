import QtQuick
import Tavrine.Onboarding
import Tavrine.Ui

// The last page: the intention and the length of the first real session. Return in the field starts nothing.
PageCard {
    id: card
    required property OnboardingFlow flow
    readonly property alias fieldFocused: input.activeFocus

    function focusField() { input.forceActiveFocus() }

    Column {
        x: 6
        y: 6
        width: card.contentWidth - 12
        spacing: 12

        RotatingHeadline {
            width: parent.width
            reduceMotion: card.flow.reduceMotion
            textColor: Qt.rgba(0.12, 0.14, 0.18, 1)
        }

        Item {
            id: field
            width: parent.width
            height: 40

            PillSurface {
                anchors.fill: parent
                selected: input.activeFocus
                dark: false
            }
            TapHandler {
                onTapped: {
                    input.forceActiveFocus()
                    caret.wake()
                }
            }

            CaretBlink {
                id: caret
                objectName: "onboardingIntentionCaretBlink"
                focused: input.activeFocus
            }

            TextInput {
                id: input
                objectName: "onboardingIntention"
                anchors.fill: parent
                anchors.leftMargin: 16
                anchors.rightMargin: 16
                verticalAlignment: TextInput.AlignVCenter
                clip: true
                font.pixelSize: 14
                color: Qt.rgba(0.12, 0.14, 0.18, 1)
                selectionColor: AppStyle.accentColor
                selectedTextColor: "white"
                text: card.flow.intention
                onTextEdited: card.flow.intention = text
                // The caret stops blinking after a while without typing; a key or a click wakes it.
                cursorDelegate: Rectangle {
                    objectName: "onboardingIntentionCaret"
                    width: 1
                    color: input.color
                    visible: input.cursorVisible && caret.shown
                }
                Keys.onPressed: (event) => {
                    caret.wake()
                    event.accepted = false
                }
                Keys.onReturnPressed: (event) => event.accepted = true
                Keys.onEnterPressed: (event) => event.accepted = true
                TapHandler {
                    onPressedChanged: if (pressed) caret.wake()
                }
                Accessible.role: Accessible.EditableText
                Accessible.name: "Intention"

                Text {
                    anchors.fill: parent
                    verticalAlignment: Text.AlignVCenter
                    visible: input.text.length === 0
                    text: qsTr("Finish the pricing proposal for Acme")
                    font: input.font
                    color: Qt.rgba(0.12, 0.14, 0.18, 0.35)
                    elide: Text.ElideRight
                }
            }
        }

        DurationSelector {
            width: parent.width
            model: card.flow.duration
            dark: false
        }
    }

    Connections {
        target: card.flow
        function onFocusIntention() { input.forceActiveFocus() }
    }
    Component.onCompleted: input.forceActiveFocus()
}

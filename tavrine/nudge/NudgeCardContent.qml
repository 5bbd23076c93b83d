import QtQuick
import QtQuick.Controls
import Tavrine.Ui
import Tavrine.Nudge

// The nudge card: the sentence, the job line and the three answers. Shown by the floating card and by the
// notch panel, each with values of its own.
Item {
    id: root
    objectName: "nudgeCardContent"

    property string reason
    property string intention
    property bool isFocusSession: false
    property NudgeVoiceMeter voice: null
    // Session-clock second from which the sentence is revealed on a clock; NaN: not revealed on a clock.
    property real revealedAt: NaN
    property bool pointsAtBack: false
    property bool reduceMotion: false
    property color textColor: system.windowText

    signal back()
    signal relevant()
    signal takeBreak()

    SystemPalette { id: system }

    NudgeCardModel {
        id: model
        reason: root.reason
        intention: root.intention
        isFocusSession: root.isFocusSession
        hasVoice: root.voice !== null
        revealsWords: root.voice ? root.voice.revealsWords : false
        hasRevealedAt: !isNaN(root.revealedAt)
    }

    // Laid out by hand rather than by a positioner, so that the fitting size is right as soon as the reason
    // changes, before the next polish.
    implicitWidth: 440
    implicitHeight: buttons.y + buttons.height + 18

    Item {
        id: column
        x: 22
        width: 396

        Flickable {
            id: reasonArea
            objectName: "reasonArea"
            y: 18
            width: parent.width
            height: model.areaHeight
            contentWidth: width
            contentHeight: sentence.implicitHeight - 16
            interactive: model.scrolls
            boundsBehavior: model.scrolls ? Flickable.DragAndOvershootBounds : Flickable.StopAtBounds
            clip: true
            ScrollBar.vertical: ScrollBar {
                policy: model.scrolls ? ScrollBar.AsNeeded : ScrollBar.AlwaysOff
            }

            SpokenSentenceItem {
                id: sentence
                objectName: "nudgeReason"
                x: -8
                y: -8
                width: implicitWidth
                height: implicitHeight
                textWidth: 396
                text: root.reason
                pixelSize: model.fontSize
                color: root.textColor
                mode: model.sentenceMode
                meter: root.voice
                revealedAt: isNaN(root.revealedAt) ? 0 : root.revealedAt
                reduceMotion: root.reduceMotion
                Accessible.role: Accessible.StaticText
                Accessible.name: root.reason
            }
        }

        Text {
            id: job
            objectName: "jobLine"
            y: reasonArea.y + reasonArea.height + 12
            width: parent.width
            text: model.jobLine
            textFormat: Text.PlainText
            font.pixelSize: 12
            font.weight: Font.DemiBold
            color: root.textColor
            opacity: 0.6
            wrapMode: Text.Wrap
            maximumLineCount: 3
            elide: Text.ElideRight
        }

        Row {
            id: buttons
            y: job.y + job.height + 12
            height: Math.max(backLoader.implicitHeight, relevantButton.implicitHeight)
            spacing: 8
            Loader {
                id: backLoader
                anchors.verticalCenter: parent.verticalCenter
                sourceComponent: root.pointsAtBack ? askedBack : plainBack
            }
            Row {
                objectName: "secondaryButtons"
                anchors.verticalCenter: parent.verticalCenter
                spacing: 8
                opacity: root.pointsAtBack ? 0.55 : 1
                CardButton {
                    id: relevantButton
                    objectName: "relevant"
                    text: qsTr("This is relevant")
                    textColor: root.textColor
                    Accessible.name: text
                    onClicked: root.relevant()
                }
                CardButton {
                    objectName: "nudgeBreak"
                    text: qsTr("Take a break")
                    textColor: root.textColor
                    Accessible.name: text
                    onClicked: root.takeBreak()
                }
            }
        }
    }

    Component {
        id: plainBack
        CardButton {
            objectName: "backToWork"
            text: qsTr("Get back to work")
            textColor: root.textColor
            Accessible.name: text
            onClicked: root.back()
        }
    }
    Component {
        id: askedBack
        RehearsalAskedButtonStyle {
            objectName: "backToWork"
            text: qsTr("Get back to work")
            // The pulse repeats forever: it stops with the card's window, which is hidden rather than destroyed.
            still: root.reduceMotion || !(root.Window.window && root.Window.window.visible)
            Accessible.name: text
            onClicked: root.back()
        }
    }
}

import QtQuick
import Tavrine.Onboarding
import Tavrine.Ui

// Stands in for the coach panel until it lands: the beat, Next where the beat takes it, and Skip.
Rectangle {
    id: root
    property OnboardingRehearsal rehearsal
    property OnboardingStage stage
    readonly property real outlineRadius: radius

    objectName: "rehearsalCoach"
    implicitWidth: 360
    implicitHeight: column.implicitHeight + 32
    radius: 14
    color: "#f7f8fa"

    Column {
        id: column
        x: 16; y: 16
        width: parent.width - 32
        spacing: 12

        Text {
            objectName: "rehearsalCoachBeat"
            width: parent.width
            text: root.rehearsal ? "Beat " + root.rehearsal.beat : ""
            color: "#1f2430"
            textFormat: Text.PlainText
        }
        Row {
            spacing: 8
            PillButton {
                objectName: "rehearsalCoachNext"
                text: "Next"
                visible: root.rehearsal !== null && root.rehearsal.isOnTask && root.rehearsal.beat !== OnboardingRehearsal.Tempted
                onClicked: root.stage.next()
            }
            PillButton {
                objectName: "rehearsalCoachSkip"
                text: "Skip"
                onClicked: root.stage.requestSkip()
            }
        }
    }
}

import QtQuick
import Tavrine.Onboarding
import Tavrine.Ui

// The first-run window's content: the flow's pages. For now the rehearsal page alone: start the staged
// session, or continue to the main window.
Item {
    id: root
    property OnboardingFlow flow

    implicitWidth: 640
    implicitHeight: 480

    SystemPalette { id: palette }

    Column {
        anchors.centerIn: parent
        spacing: 18
        width: parent.width - 96

        Text {
            objectName: "onboardingTitle"
            width: parent.width
            text: "Try a session"
            color: palette.windowText
            font.pixelSize: 24
            font.weight: Font.DemiBold
            horizontalAlignment: Text.AlignHCenter
        }
        Text {
            width: parent.width
            text: "We wrote the first intention for you. Start the session and see what Tavrine does."
            color: palette.windowText
            opacity: 0.7
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
        }
        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 12

            PillButton {
                objectName: "onboardingStartRehearsal"
                text: "Start focus session"
                Accessible.name: text
                enabled: root.flow !== null && !root.flow.rehearsalRunning
                onClicked: root.flow.startRehearsal()
            }
            PillButton {
                objectName: "onboardingContinue"
                text: "Continue"
                Accessible.name: text
                enabled: root.flow !== null
                onClicked: root.flow.completeOnboarding()
            }
        }
    }
}

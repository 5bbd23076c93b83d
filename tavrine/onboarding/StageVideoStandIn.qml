import QtQuick
import Tavrine.Onboarding

// Stands in for the mock video site until its page lands: a dark window with the stage's close button.
Rectangle {
    id: root
    property OnboardingRehearsal rehearsal
    property OnboardingStage stage
    property QtObject player

    color: Qt.rgba(0.06, 0.06, 0.06, 1)

    Rectangle {
        objectName: "rehearsalVideoClose"
        x: 16; y: 14; width: 12; height: 12; radius: 6
        color: "#ff5f57"
        Accessible.role: Accessible.Button
        Accessible.name: "Close"
        MouseArea { anchors.fill: parent; onClicked: root.stage.requestSkip() }
    }
    Text {
        anchors.centerIn: parent
        text: root.rehearsal && root.rehearsal.beat === OnboardingRehearsal.Researching
              ? "Landing page tutorial" : "Tokyo ramen tour"
        color: "white"
        font.pixelSize: 28
    }
}

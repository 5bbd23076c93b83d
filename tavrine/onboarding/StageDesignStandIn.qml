import QtQuick
import Tavrine.Onboarding

// Stands in for the mock design tool until its page lands: a light window with the stage's close button.
Rectangle {
    id: root
    property OnboardingRehearsal rehearsal
    property OnboardingStage stage

    color: "white"

    Rectangle {
        objectName: "rehearsalDesignClose"
        x: 16; y: 14; width: 12; height: 12; radius: 6
        color: "#ff5f57"
        Accessible.role: Accessible.Button
        Accessible.name: "Close"
        MouseArea { anchors.fill: parent; onClicked: root.stage.requestSkip() }
    }
    Text {
        anchors.centerIn: parent
        text: "Landing page"
        color: "#1f2430"
        font.pixelSize: 28
    }
}

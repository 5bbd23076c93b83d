import QtQuick
import Tavrine.Onboarding

// The rehearsal's design window: the mock design tool under the window's own buttons.
Item {
    id: root
    property OnboardingStage stage
    property int beat: 0
    property bool reduceMotion: false

    DesignPage {
        objectName: "rehearsalDesign"
        anchors.fill: parent
        beat: root.beat
        reduceMotion: root.reduceMotion
    }
    WindowButtons {
        closeName: "rehearsalDesignClose"
        onCloseClicked: if (root.stage) root.stage.requestSkip()
    }
}

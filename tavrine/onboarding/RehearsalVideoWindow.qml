import QtQuick
import Tavrine.Onboarding

// The rehearsal's video window: the mock video site with the player, under the window's own buttons.
Item {
    id: root
    property OnboardingStage stage
    property QtObject player
    property bool reduceMotion: false

    VideoPage {
        anchors.fill: parent
        player: root.player
        reduceMotion: root.reduceMotion
    }
    WindowButtons {
        closeName: "rehearsalVideoClose"
        onCloseClicked: if (root.stage) root.stage.requestSkip()
    }
}

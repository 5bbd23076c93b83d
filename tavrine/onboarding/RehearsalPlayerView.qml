import QtQuick
import Tavrine.Onboarding

// Shows the player's page wherever the page places it: its own window kept over this item when the page runs
// in a process of its own, else its one web view reparented here.
Item {
    id: host
    required property QtObject player

    // A window of its own cannot fade under the poster that stands in for an unavailable clip: it steps aside
    // as the poster begins to come in.
    PlayerWindowHost {
        anchors.fill: parent
        player: host.player
        visible: !(host.player && host.player.unavailable)
    }

    Component.onCompleted: {
        if (host.player && host.player.view) {
            host.player.view.parent = host
            host.player.view.anchors.fill = host
        }
    }
}

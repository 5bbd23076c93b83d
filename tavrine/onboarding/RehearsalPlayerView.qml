import QtQuick

// Shows the player's one web view wherever the page places it.
Item {
    id: host
    required property QtObject player

    Component.onCompleted: {
        if (host.player && host.player.view) {
            host.player.view.parent = host
            host.player.view.anchors.fill = host
        }
    }
}

import QtQuick
import QtQuick.Layouts
import Tavrine.Onboarding

// The rehearsal's mock video site, dark whatever the desktop: a header, the player (or its poster), the clip's
// title and channel, a placeholder description and five suggested videos. Scenery only: nothing here takes a
// click except the web player itself.
Rectangle {
    id: page
    objectName: "rehearsalVideo"
    required property QtObject player
    property bool reduceMotion: false

    readonly property color ground: Qt.rgba(0.06, 0.06, 0.06, 1)
    readonly property color ink: "white"
    readonly property color mutedInk: Qt.rgba(1, 1, 1, 0.6)
    readonly property color chip: Qt.rgba(1, 1, 1, 0.1)
    readonly property int clip: player ? player.current : 0

    color: ground
    Accessible.role: Accessible.Grouping
    // One element for accessibility tools, none of the texts inside.
    readonly property string accessibleName: RehearsalClips.accessibleName(page.clip)
    Accessible.name: accessibleName

    component Symbol: Image {
        required property string symbol
        property int size: 13
        source: "icons/" + symbol + ".svg"
        sourceSize: Qt.size(size, size)
        width: size; height: size
    }
    component ActionPill: Rectangle {
        required property string symbol
        required property string label
        width: pillRow.width + 24
        height: pillRow.height + 14
        radius: height / 2
        color: page.chip
        Row {
            id: pillRow
            anchors.centerIn: parent
            spacing: 6
            Symbol { symbol: parent.parent.symbol; size: 12; anchors.verticalCenter: parent.verticalCenter }
            Text { text: parent.parent.label; font.pixelSize: 12; font.weight: Font.Medium; color: page.ink }
        }
    }

    // Header: the mock window bar.
    WindowBar {
        id: header
        anchors { left: parent.left; right: parent.right; top: parent.top }
        ground: page.ground
        Symbol { symbol: "line.3.horizontal"; size: 15 }
        Item { Layout.fillWidth: true }
        Row {
            spacing: 14
            Rectangle {
                width: 380; height: 30; radius: 15
                color: Qt.rgba(0, 0, 0, 0.5)
                border.color: Qt.rgba(1, 1, 1, 0.16)
                clip: true
                Text { x: 16; anchors.verticalCenter: parent.verticalCenter; text: qsTr("Search"); font.pixelSize: 13; color: page.mutedInk }
                Rectangle {
                    anchors { right: parent.right; top: parent.top; bottom: parent.bottom }
                    width: 52; color: page.chip
                    Symbol { symbol: "magnifyingglass"; anchors.centerIn: parent }
                }
            }
            Rectangle {
                width: 30; height: 30; radius: 15; color: page.chip
                Symbol { symbol: "mic.fill"; size: 12; anchors.centerIn: parent }
            }
        }
        Item { Layout.fillWidth: true }
        Row {
            spacing: 14
            Symbol { symbol: "bell"; size: 14; anchors.verticalCenter: parent.verticalCenter }
            Rectangle {
                width: 24; height: 24; radius: 12
                gradient: Gradient {
                    GradientStop { position: 0; color: RehearsalClips.headerAvatarColors()[0] }
                    GradientStop { position: 1; color: RehearsalClips.headerAvatarColors()[1] }
                }
            }
        }
    }

    Item {
        id: content
        anchors { left: parent.left; right: parent.right; top: header.bottom; bottom: parent.bottom
                  leftMargin: 22; rightMargin: 22; topMargin: 10; bottomMargin: 18 }

        Column {
            id: playerColumn
            width: content.width - 20 - 262
            spacing: 12

            Item {
                id: playerArea
                objectName: "rehearsalPlayerArea"
                width: playerColumn.width
                height: width * 9 / 16
                Rectangle { anchors.fill: parent; color: "black" }
                // Hidden while the poster covers it whole: the engine then stops drawing the page, and the scene
                // no longer blends it under every frame of the poster's zoom.
                RehearsalPlayerView {
                    objectName: "rehearsalPlayerHost"
                    anchors.fill: parent
                    player: page.player
                    visible: !(posterLoader.wanted && posterLoader.opacity === 1)
                }
                Loader {
                    id: posterLoader
                    objectName: "rehearsalPosterLoader"
                    property bool wanted: page.player ? page.player.unavailable : false
                    anchors.fill: parent
                    active: wanted || opacity > 0
                    opacity: wanted ? 1 : 0
                    Behavior on opacity { NumberAnimation { duration: 300; easing.type: Easing.InOutQuad } }
                    sourceComponent: VideoPoster { video: page.clip; reduceMotion: page.reduceMotion }
                }
                // Rounded corners drawn over the web view in the ground colour: a mask would cost a pass a frame.
                Rectangle {
                    anchors { fill: parent; margins: -12 }
                    radius: 24
                    color: "transparent"
                    border.width: 12
                    border.color: page.ground
                }
            }

            Text {
                objectName: "rehearsalVideoTitle"
                width: playerColumn.width
                text: RehearsalClips.title(page.clip)
                textFormat: Text.PlainText
                font.pixelSize: 17; font.weight: Font.DemiBold
                color: page.ink
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }

            Item {
                width: playerColumn.width
                height: 32
                Row {
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 10
                    DiagonalGradient {
                        objectName: "rehearsalChannelAvatar"
                        width: 32; height: 32; radius: 16
                        colors: RehearsalClips.avatarColors(page.clip)
                    }
                    Text {
                        objectName: "rehearsalVideoChannel"
                        anchors.verticalCenter: parent.verticalCenter
                        text: RehearsalClips.channel(page.clip)
                        textFormat: Text.PlainText
                        font.pixelSize: 13; font.weight: Font.DemiBold; color: page.ink
                    }
                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: subscribe.width + 28; height: subscribe.height + 14; radius: height / 2; color: "white"
                        Text { id: subscribe; anchors.centerIn: parent; text: qsTr("Subscribe"); font.pixelSize: 12; font.weight: Font.DemiBold; color: "black" }
                    }
                }
                Row {
                    anchors { right: parent.right; verticalCenter: parent.verticalCenter }
                    spacing: 10
                    ActionPill { symbol: "hand.thumbsup"; label: "Like" }
                    ActionPill { symbol: "arrowshape.turn.up.right"; label: "Share" }
                }
            }

            Rectangle {
                width: playerColumn.width
                height: description.height + 24
                radius: 12
                color: page.chip
                Column {
                    id: description
                    x: 12; y: 12
                    spacing: 7
                    Bar { barWidth: 300; barHeight: 5; color: Qt.rgba(1, 1, 1, 0.22) }
                    Bar { barWidth: 380; barHeight: 5; color: Qt.rgba(1, 1, 1, 0.14) }
                    Bar { barWidth: 220; barHeight: 5; color: Qt.rgba(1, 1, 1, 0.14) }
                }
            }
        }

        Column {
            id: sideList
            anchors { right: parent.right; top: parent.top }
            width: 262
            spacing: 10
            Repeater {
                objectName: "rehearsalVideoRows"
                model: RehearsalClips.rows(page.clip)
                Row {
                    required property var modelData
                    spacing: 9
                    Thumbnail { width: 112; height: 63; emoji: parent.modelData.emoji; tint: parent.modelData.tint }
                    Column {
                        width: 262 - 112 - 9
                        spacing: 3
                        Text {
                            width: parent.width
                            text: parent.parent.modelData.title
                            textFormat: Text.PlainText
                            font.pixelSize: 12; font.weight: Font.Medium; color: page.ink
                            wrapMode: Text.WordWrap; maximumLineCount: 2; elide: Text.ElideRight
                        }
                        Text {
                            text: parent.parent.modelData.channel
                            textFormat: Text.PlainText
                            font.pixelSize: 11; color: page.mutedInk
                        }
                    }
                }
            }
        }
    }
}

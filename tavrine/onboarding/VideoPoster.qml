import QtQuick
import Tavrine.Onboarding
import Tavrine.Ui

// The still that stands in for a clip the web player cannot show: a 16:9 picture drifting slowly in scale, with
// a fake progress bar creeping along the bottom. Made afresh each time it shows.
Item {
    id: poster
    objectName: "rehearsalVideoPoster"
    required property int video
    property bool reduceMotion: false

    readonly property real fitWidth: Math.min(width, height * 16 / 9)
    readonly property real fitHeight: fitWidth * 9 / 16
    implicitHeight: width * 9 / 16

    Item {
        id: frame
        anchors.centerIn: parent
        width: poster.fitWidth
        height: poster.fitHeight
        clip: true

        Item {
            id: content
            objectName: "rehearsalPosterContent"
            anchors.fill: parent
            // The eased zoom, stepped so that the content's edges move a whole pixel at a time: under a software
            // GL every new scale redraws the window, and sub-pixel steps cost frames nobody can see.
            property real zoom: 1.0
            scale: 1 + Math.round((zoom - 1) * frame.width / 2) * 2 / Math.max(frame.width, 1)

            Loader {
                anchors.fill: parent
                sourceComponent: poster.video === 1 ? tutorialContent : detourContent
            }

            SequentialAnimation on zoom {
                running: !poster.reduceMotion
                loops: Animation.Infinite
                NumberAnimation { to: 1.07; duration: 9000; easing.type: Easing.BezierSpline; easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1] }
                NumberAnimation { to: 1.0; duration: 9000; easing.type: Easing.BezierSpline; easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1] }
            }
        }

        Rectangle {
            anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
            height: 54
            gradient: Gradient {
                GradientStop { position: 0; color: "transparent" }
                GradientStop { position: 1; color: Qt.rgba(0, 0, 0, 0.45) }
            }
        }
        PosterScrubber { id: scrubber; reduceMotion: poster.reduceMotion }
        Item {
            id: track
            objectName: "rehearsalPosterScrubber"
            anchors { left: parent.left; right: parent.right; bottom: parent.bottom; leftMargin: 12; rightMargin: 12; bottomMargin: 10 }
            height: 3
            Rectangle { anchors.fill: parent; radius: 1.5; color: Qt.rgba(1, 1, 1, 0.35) }
            // Whole pixels: the progress creeps about 2 px a second, and each of its 20 ticks would redraw.
            Rectangle { objectName: "rehearsalPosterProgress"; width: Math.round(track.width * scrubber.progress); height: 3; radius: 1.5; color: "white" }
        }
    }

    Component {
        id: detourContent
        Item {
            DiagonalGradient {
                anchors.fill: parent
                colors: [Qt.rgba(0.10, 0.06, 0.28, 1), Qt.rgba(0.62, 0.12, 0.42, 1), Qt.rgba(1.0, 0.48, 0.18, 1)]
            }
            Column {
                id: prices
                anchors { left: parent.left; leftMargin: 30; verticalCenter: parent.verticalCenter }
                spacing: -6
                Repeater {
                    model: [{ t: "$1", s: 58, c: Qt.rgba(0.72, 1.0, 0.42, 1), m: 0 },
                            { t: "vs", s: 22, c: Qt.rgba(1, 1, 1, 0.85), m: 4 },
                            { t: "$500", s: 58, c: Qt.rgba(1.0, 0.86, 0.30, 1), m: 0 }]
                    Item {
                        required property var modelData
                        width: line.width
                        height: line.height + 2 * modelData.m
                        Text {
                            x: 3; y: parent.modelData.m + 3
                            text: parent.modelData.t
                            font.pixelSize: parent.modelData.s
                            font.weight: parent.modelData.s > 30 ? Font.Black : Font.ExtraBold
                            color: Qt.rgba(0, 0, 0, 0.45)
                        }
                        Text {
                            id: line
                            y: parent.modelData.m
                            text: parent.modelData.t
                            font.pixelSize: parent.modelData.s
                            font.weight: parent.modelData.s > 30 ? Font.Black : Font.ExtraBold
                            color: parent.modelData.c
                        }
                    }
                }
            }
            Column {
                anchors { right: parent.right; rightMargin: 30; verticalCenter: parent.verticalCenter }
                Text { text: "🏮"; font.pixelSize: 34; transform: Translate { x: 46; y: 6 } }
                Text { text: "🍜"; font.pixelSize: 104 }
            }
        }
    }

    Component {
        id: tutorialContent
        Item {
            DiagonalGradient {
                anchors.fill: parent
                colors: [Qt.rgba(0.90, 0.94, 1.0, 1), Qt.rgba(0.76, 0.84, 1.0, 1)]
            }
            Row {
                anchors.centerIn: parent
                spacing: 22
                Column {
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 2
                    Text { text: "7 layouts"; font.pixelSize: 34; font.weight: Font.Black; color: Qt.rgba(0.12, 0.14, 0.18, 1) }
                    Text { text: "that convert"; font.pixelSize: 34; font.weight: Font.Black; color: Qt.rgba(0.22, 0.36, 0.92, 1) }
                }
                Item {
                    anchors.verticalCenter: parent.verticalCenter
                    width: card.width
                    height: card.height
                    rotation: 4
                    // Black at 0.14, blurred 12, 6 down.
                    Shadow {
                        anchors.fill: card
                        // The software renderer has always drawn the card without its shadow.
                        visible: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
                        shapes: [{rect: Qt.rect(0, 0, width, height), radius: card.radius}]
                        color: Qt.rgba(0, 0, 0, 0.14)
                        blurRadius: 12
                        verticalOffset: 6
                    }
                    Rectangle {
                        id: card
                        width: cardColumn.width + 32
                        height: cardColumn.height + 32
                        radius: 10
                        color: "white"
                        Column {
                            id: cardColumn
                            x: 16; y: 16
                            spacing: 7
                            Rectangle { width: 40; height: 6; radius: 3; color: Qt.rgba(0, 0, 0, 0.55) }
                            Rectangle { width: 96; height: 12; radius: 6; color: Qt.rgba(0, 0, 0, 0.80) }
                            Rectangle { width: 74; height: 12; radius: 6; color: Qt.rgba(0, 0, 0, 0.80) }
                            Item { width: 46; height: 18; Rectangle { y: 4; width: 46; height: 14; radius: 7; color: Qt.rgba(0.22, 0.36, 0.92, 1) } }
                            Rectangle { width: 124; height: 46; radius: 6; color: Qt.rgba(0.22, 0.36, 0.92, 0.18) }
                        }
                    }
                }
            }
        }
    }
}

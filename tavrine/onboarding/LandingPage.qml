import QtQuick
import QtQuick.Layouts
import Tavrine.Onboarding

// The marketing page of an invented app, "Kite", on the mock design tool's canvas. A picture, not a page:
// nothing reacts to input. Each step adds sections, which rise 14 px into place while fading in, carried by the
// beat change's spring (the caller turns `animated` off for a change that should show at once).
Item {
    id: root
    property int progress: 0
    property bool animated: true
    property bool reduceMotion: false
    readonly property var parts: Scenery.landingPageParts(progress)
    readonly property color ink: Scenery.rehearsalInk
    readonly property color violet: Scenery.violet

    // How far each part is in, 0...1; the spring may carry it slightly past 1.
    property real headlineSelection: parts.headlineSelected ? 1 : 0
    property real featurePresence: parts.featureRow ? 1 : 0
    property real featureSelection: parts.featureRowSelected ? 1 : 0
    property real reviewPresence: parts.review ? 1 : 0
    Behavior on headlineSelection { enabled: root.animated; SpringTransition {} }
    Behavior on featurePresence { enabled: root.animated; SpringTransition {} }
    Behavior on featureSelection { enabled: root.animated; SpringTransition {} }
    Behavior on reviewPresence { enabled: root.animated; SpringTransition {} }

    component SpringTransition: NumberAnimation {
        duration: Scenery.beatSpringDuration
        easing.type: Easing.BezierSpline
        easing.bezierCurve: Scenery.beatSpringCurve
    }
    component Label: Text {
        textFormat: Text.PlainText
        color: root.ink
        font.pixelSize: 9
        font.weight: Font.DemiBold
    }
    // A section that rises 14 px while it fades in.
    component Rising: Item {
        property real presence: 0
        visible: presence > 0.001
        opacity: Math.min(1, Math.max(0, presence))
        transform: Translate { y: 14 * (1 - Math.min(1, presence)) }
    }

    implicitWidth: 442
    implicitHeight: 400
    Accessible.ignored: true

    Column {
        width: root.width
        spacing: 0

        // Navigation bar.
        RowLayout {
            objectName: "landingNavigation"
            x: 18
            width: parent.width - 36
            height: 34
            spacing: 10
            DiagonalGradient {
                objectName: "landingLogo"
                Layout.preferredWidth: 14
                Layout.preferredHeight: 14
                radius: 4
                colors: [root.violet, Qt.rgba(1.0, 0.45, 0.62, 1)]
            }
            Label { text: "Kite"; font.pixelSize: 11; font.weight: Font.Bold }
            Item { Layout.fillWidth: true }
            Bar { barWidth: 26; barHeight: 4; color: Qt.rgba(0, 0, 0, 0.12) }
            Bar { barWidth: 30; barHeight: 4; color: Qt.rgba(0, 0, 0, 0.12) }
            Bar { barWidth: 22; barHeight: 4; color: Qt.rgba(0, 0, 0, 0.12) }
        }

        // Headline section.
        Item {
            width: parent.width
            height: headlineRow.height + 12
            RowLayout {
                id: headlineRow
                x: 14
                y: 12
                width: parent.width - 28
                spacing: 14
                Column {
                    Layout.alignment: Qt.AlignVCenter
                    spacing: 9
                    Item {
                        id: headlineBox
                        objectName: "landingHeadline"
                        width: headline.implicitWidth + 8
                        height: headline.implicitHeight + 8
                        z: 1
                        Label {
                            id: headline
                            x: 4; y: 4
                            text: "Plan less.\nMake more."
                            font.pixelSize: 27
                            font.weight: Font.Bold
                            lineHeightMode: Text.FixedHeight
                            lineHeight: headlineMetrics.lineSpacing - 2
                            FontMetrics { id: headlineMetrics; font: headline.font }
                        }
                        SelectionFrame {
                            objectName: "headlineSelection"
                            anchors.fill: parent
                            visible: root.headlineSelection > 0.001
                            opacity: Math.min(1, root.headlineSelection)
                        }
                        Loader {
                            objectName: "headlinePointerLoader"
                            // A new pointer each time it comes back, so its movement starts again.
                            active: root.headlineSelection > 0.001
                            opacity: Math.min(1, root.headlineSelection)
                            // On whole pixels, so the resting pointer and its shadows are drawn sharp.
                            x: Math.round(parent.width + 16 - (item ? item.width : 0) / 2)
                            y: Math.round(parent.height + 14 - (item ? item.height : 0) / 2)
                            sourceComponent: WorkingPointer { objectName: "workingPointer"; reduceMotion: root.reduceMotion }
                        }
                    }
                    Column {
                        x: 4
                        spacing: 5
                        Bar { barWidth: 150; barHeight: 5; color: Qt.rgba(0, 0, 0, 0.12) }
                        Bar { barWidth: 118; barHeight: 5; color: Qt.rgba(0, 0, 0, 0.12) }
                    }
                    Row {
                        x: 4
                        topPadding: 2
                        spacing: 6
                        Rectangle {
                            width: getApp.implicitWidth + 20; height: getApp.implicitHeight + 12
                            radius: height / 2; color: root.ink
                            Label { id: getApp; anchors.centerIn: parent; text: "Get the app"; color: "white" }
                        }
                        Rectangle {
                            width: seeHow.implicitWidth + 20; height: seeHow.implicitHeight + 12
                            radius: height / 2; color: "transparent"
                            border.width: 1; border.color: Qt.rgba(0, 0, 0, 0.18)
                            Label { id: seeHow; anchors.centerIn: parent; text: "See how" }
                        }
                    }
                }
                Item { Layout.fillWidth: true }
                // Phone preview.
                DiagonalGradient {
                    objectName: "landingPhone"
                    Layout.rightMargin: 4
                    Layout.alignment: Qt.AlignVCenter
                    Layout.preferredWidth: 150
                    Layout.preferredHeight: 146
                    radius: 12
                    colors: [root.violet, Qt.rgba(0.8, 0.42, 0.95, 1), Qt.rgba(1.0, 0.56, 0.52, 1)]
                    Column {
                        anchors.centerIn: parent
                        width: parent.width - 28
                        spacing: 6
                        Repeater {
                            model: 3
                            Rectangle {
                                required property int index
                                width: parent.width; height: 24; radius: 7
                                color: Qt.rgba(1, 1, 1, 0.2)
                                Row {
                                    x: 9
                                    anchors.verticalCenter: parent.verticalCenter
                                    spacing: 6
                                    Rectangle {
                                        anchors.verticalCenter: parent.verticalCenter
                                        width: 8; height: 8; radius: 4
                                        color: Qt.rgba(1, 1, 1, index === 0 ? 1.0 : 0.55)
                                    }
                                    Bar {
                                        anchors.verticalCenter: parent.verticalCenter
                                        barWidth: index === 1 ? 58 : 74; barHeight: 4
                                        color: Qt.rgba(1, 1, 1, index === 0 ? 0.95 : 0.55)
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }

        // Feature row.
        Rising {
            objectName: "landingFeatures"
            presence: root.featurePresence
            width: parent.width
            height: features.height + 16
            Row {
                id: features
                x: 18
                y: 16
                width: parent.width - 36
                spacing: 10
                Repeater {
                    model: ["bolt.fill", "calendar", "sparkles"]
                    Rectangle {
                        required property string modelData
                        width: (features.width - 20) / 3
                        height: card.height + 20
                        radius: 9
                        color: Qt.rgba(0.97, 0.97, 0.97, 1)
                        Column {
                            id: card
                            x: 10; y: 10
                            spacing: 6
                            Rectangle {
                                width: 22; height: 22; radius: 6
                                color: Scenery.sceneryColor(root.violet, 0.12)
                                SymbolIcon { anchors.centerIn: parent; symbol: modelData; pixelSize: 10; color: root.violet }
                            }
                            Bar { barWidth: 62; barHeight: 5; color: Qt.rgba(0, 0, 0, 0.3) }
                            Bar { barWidth: 84; barHeight: 4; color: Qt.rgba(0, 0, 0, 0.12) }
                            Bar { barWidth: 52; barHeight: 4; color: Qt.rgba(0, 0, 0, 0.12) }
                        }
                    }
                }
            }
            SelectionFrame {
                objectName: "featureSelection"
                x: features.x - 4; y: features.y - 4
                width: features.width + 8; height: features.height + 8
                visible: root.featureSelection > 0.001
                opacity: Math.min(1, root.featureSelection)
            }
        }

        // Review card.
        Rising {
            objectName: "landingReview"
            presence: root.reviewPresence
            width: parent.width
            height: review.height + 10
            Rectangle {
                id: review
                x: 18; y: 10
                width: parent.width - 36
                height: reviewRow.height + 20
                radius: 9
                color: Qt.rgba(1.0, 0.97, 0.92, 1)
                Row {
                    id: reviewRow
                    x: 10; y: 10
                    spacing: 10
                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 22; height: 22; radius: 11
                        gradient: Gradient {
                            GradientStop { position: 0; color: "yellow" }
                            GradientStop { position: 1; color: Scenery.standardOrange }
                        }
                    }
                    Column {
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 5
                        Row {
                            spacing: 2
                            Repeater {
                                model: 5
                                SymbolIcon { symbol: "star.fill"; pixelSize: 7; color: Scenery.standardOrange }
                            }
                        }
                        Bar { barWidth: 190; barHeight: 4; color: Qt.rgba(0, 0, 0, 0.12) }
                    }
                }
            }
        }

        // Call-to-action band.
        Rising {
            objectName: "landingCallToAction"
            presence: root.reviewPresence
            width: parent.width
            height: band.height + 10
            Rectangle {
                id: band
                x: 18; y: 10
                width: parent.width - 36
                height: bandColumn.height + 24
                radius: 9
                gradient: Gradient {
                    orientation: Gradient.Horizontal
                    GradientStop { position: 0; color: root.violet }
                    GradientStop { position: 1; color: Qt.rgba(0.8, 0.42, 0.95, 1) }
                }
                Column {
                    id: bandColumn
                    anchors.centerIn: parent
                    spacing: 7
                    Bar { anchors.horizontalCenter: parent.horizontalCenter; barWidth: 150; barHeight: 7; color: "white" }
                    Rectangle {
                        anchors.horizontalCenter: parent.horizontalCenter
                        width: bandCta.implicitWidth + 20; height: bandCta.implicitHeight + 10
                        radius: height / 2; color: "white"
                        Label { id: bandCta; anchors.centerIn: parent; text: "Get the app" }
                    }
                }
            }
        }
    }
}

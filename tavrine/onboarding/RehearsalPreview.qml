import QtQuick
import Tavrine.Onboarding
import Tavrine.Ui

// The rehearsal page's preview of the session it runs: the headline, the intention typed out and the three
// lengths with 30 chosen. Nothing here takes a click.
PageCard {
    id: card
    required property OnboardingFlow flow

    Column {
        x: 6
        y: 6
        width: card.contentWidth - 12
        spacing: 14
        Accessible.role: Accessible.StaticText
        Accessible.name: "Intention: Design the landing page for my app, 30 minutes"

        Text {
            objectName: "rehearsalHeadline"
            textFormat: Text.StyledText
            text: "What\u2019s the <font color=\"" + AppStyle.accentColor + "\">one thing?</font>"
            font.pixelSize: 24
            font.weight: Font.DemiBold
            color: Qt.rgba(0.12, 0.14, 0.18, 1)
            Accessible.ignored: true
        }
        TypedIntention {
            width: parent.width
            model: card.flow.typedIntention
        }
        Row {
            spacing: 6
            Accessible.ignored: true
            Repeater {
                model: [15, 30, 45]
                Rectangle {
                    required property int modelData
                    readonly property bool chosen: modelData === 30
                    width: chip.implicitWidth + 20
                    height: chip.implicitHeight + 10
                    radius: height / 2
                    color: chosen ? Qt.rgba(AppStyle.accentColor.r, AppStyle.accentColor.g, AppStyle.accentColor.b, 0.14)
                                  : Qt.rgba(0, 0, 0, 0.06)
                    Text {
                        id: chip
                        anchors.centerIn: parent
                        text: parent.modelData + "m"
                        font.pixelSize: 11
                        font.weight: Font.Medium
                        color: parent.chosen ? AppStyle.accentColor : Qt.rgba(0.3, 0.32, 0.36, 1)
                    }
                }
            }
        }
    }
}

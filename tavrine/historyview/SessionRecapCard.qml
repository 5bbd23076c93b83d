import QtQuick
import QtQuick.Layouts
import Tavrine.HistoryView

// The recap card of one summary, 344 points wide. `unit` scales every length and font, so that the share
// image lays the card out at three times its size instead of enlarging a small picture.
Rectangle {
    id: card
    objectName: "recapCard"
    required property RecapCardModel card
    property real unit: 1

    readonly property color ink: SessionColors.recapInk
    function inkAt(opacity) { return Qt.rgba(ink.r, ink.g, ink.b, opacity) }

    width: 344 * unit
    implicitWidth: width
    height: content.implicitHeight + 40 * unit
    implicitHeight: height
    radius: 18 * unit
    color: SessionColors.recapPaper
    Accessible.role: Accessible.Grouping
    Accessible.name: card.card.minutesText + ", " + card.card.statusText

    ColumnLayout {
        id: content
        x: 20 * card.unit
        y: 20 * card.unit
        width: 304 * card.unit
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Image {
                objectName: "brandWordmark"
                source: "qrc:/Tavrine/HistoryView/icons/BrandWordmark.svg"
                sourceSize.height: 40 * card.unit
                Layout.preferredHeight: 40 * card.unit
                Layout.preferredWidth: 150 * card.unit
                fillMode: Image.PreserveAspectFit
                Accessible.role: Accessible.Graphic
                Accessible.name: card.card.wordmarkName
            }
            Item { Layout.fillWidth: true }
            Text {
                objectName: "recapHeaderDate"
                Layout.alignment: Qt.AlignBottom
                text: card.card.headerDate
                textFormat: Text.PlainText
                font.pixelSize: Math.round(10.5 * card.unit)
                font.weight: Font.Medium
                font.family: "monospace"
                color: card.inkAt(0.5)
            }
        }
        RecapDashedLine {
            Layout.fillWidth: true
            Layout.topMargin: 16 * card.unit
            Layout.bottomMargin: 16 * card.unit
            Layout.preferredHeight: 1 * card.unit
            lineWidth: 1.5 * card.unit
            dash: 4 * card.unit
            color: card.inkAt(0.18)
        }
        Text {
            objectName: "recapMinutes"
            text: card.card.minutesText
            textFormat: Text.PlainText
            font.pixelSize: Math.round(56 * card.unit)
            font.weight: Font.Black
            font.letterSpacing: -1.5 * card.unit
            color: card.ink
        }
        Text {
            objectName: "recapStatus"
            Layout.bottomMargin: 14 * card.unit
            text: card.card.statusText
            textFormat: Text.PlainText
            font.pixelSize: Math.round(12 * card.unit)
            font.bold: true
            font.letterSpacing: 2 * card.unit
            color: card.ink
        }
        RecapStrip {
            Layout.fillWidth: true
            Layout.preferredHeight: 8 * card.unit
            Layout.bottomMargin: 14 * card.unit
            card: card.card
            Accessible.ignored: true
        }
        Repeater {
            model: card.card.rows
            ColumnLayout {
                id: statRow
                required property var modelData
                Layout.fillWidth: true
                spacing: 0
                Rectangle { Layout.fillWidth: true; Layout.preferredHeight: 1 * card.unit; color: card.inkAt(0.1) }
                RowLayout {
                    Layout.fillWidth: true
                    Layout.topMargin: 7 * card.unit
                    Layout.bottomMargin: 7 * card.unit
                    Text {
                        text: statRow.modelData.label
                        textFormat: Text.PlainText
                        font.pixelSize: Math.round(13.5 * card.unit)
                        color: card.inkAt(0.55)
                    }
                    Item { Layout.fillWidth: true; Layout.minimumWidth: 16 * card.unit }
                    Text {
                        objectName: "recapRowValue"
                        Layout.maximumWidth: 200 * card.unit
                        text: statRow.modelData.value
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        font.pixelSize: Math.round(13.5 * card.unit)
                        font.weight: Font.DemiBold
                        color: card.ink
                    }
                }
            }
        }
        Repeater {
            model: card.card.furtherDetours
            RowLayout {
                id: detourRow
                required property var modelData
                objectName: "recapDetourRow"
                Layout.fillWidth: true
                Layout.bottomMargin: 5 * card.unit
                spacing: 6 * card.unit
                Text { text: "\u21B3"; font.pixelSize: Math.round(12.5 * card.unit); color: card.inkAt(0.35) }
                Text {
                    Layout.fillWidth: true
                    text: detourRow.modelData.phrase
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    font.pixelSize: Math.round(12.5 * card.unit)
                    font.weight: Font.Medium
                    color: card.ink
                }
                Text {
                    Layout.leftMargin: 12 * card.unit
                    text: detourRow.modelData.duration
                    textFormat: Text.PlainText
                    font.pixelSize: Math.round(12.5 * card.unit)
                    font.weight: Font.Medium
                    color: card.inkAt(0.55)
                }
            }
        }
        Rectangle {
            Layout.fillWidth: true
            Layout.topMargin: 12 * card.unit
            Layout.preferredHeight: callout.implicitHeight + 20 * card.unit
            radius: 12 * card.unit
            color: card.ink
            Text {
                id: callout
                objectName: "recapCallout"
                x: 12 * card.unit
                y: 10 * card.unit
                width: parent.width - 24 * card.unit
                // Built from escaped parts: only the accent's own markup is markup.
                text: card.card.calloutText
                textFormat: Text.StyledText
                wrapMode: Text.Wrap
                font.pixelSize: Math.round(13.5 * card.unit)
                font.weight: Font.Medium
                color: SessionColors.recapPaper
            }
        }
    }
}

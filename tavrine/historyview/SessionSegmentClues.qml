import QtQuick
import Tavrine.Ui
import QtQuick.Layouts

// The clues of one timeline segment: its label, its time line, and the app, site and window titles it saw.
ColumnLayout {
    id: root
    property string label
    property string timeText
    property var rows: []
    property color kindColor: "#8e8e93"

    spacing: 6
    Accessible.role: Accessible.StaticText
    Accessible.name: label + ", " + timeText

    SystemPalette { id: system }

    RowLayout {
        spacing: 6
        Layout.fillWidth: true
        Rectangle {
            Layout.alignment: Qt.AlignTop
            Layout.topMargin: 5
            width: 7
            height: 7
            radius: 3.5
            color: root.kindColor
        }
        Text {
            objectName: "cluesLabel"
            Layout.fillWidth: true
            text: root.label
            textFormat: Text.PlainText
            font.pixelSize: Math.round(13)
            font.weight: Font.DemiBold
            maximumLineCount: 2
            wrapMode: Text.Wrap
            elide: Text.ElideRight
            color: SystemInk.text
        }
    }
    Text {
        objectName: "cluesTime"
        text: root.timeText
        textFormat: Text.PlainText
        font.pixelSize: Math.round(11)
        color: SystemInk.secondaryText
    }
    Repeater {
        model: root.rows
        RowLayout {
            id: clueRow
            required property var modelData
            spacing: 8
            Layout.fillWidth: true
            Text {
                Layout.preferredWidth: 54
                Layout.alignment: Qt.AlignTop
                text: clueRow.modelData.caption
                textFormat: Text.PlainText
                font.pixelSize: Math.round(11)
                color: SystemInk.secondaryText
            }
            ColumnLayout {
                spacing: 2
                Layout.fillWidth: true
                Repeater {
                    model: clueRow.modelData.values
                    Text {
                        required property string modelData
                        Layout.fillWidth: true
                        text: modelData
                        textFormat: Text.PlainText
                        font.pixelSize: Math.round(11)
                        elide: Text.ElideMiddle
                        maximumLineCount: 1
                        color: SystemInk.text
                    }
                }
            }
        }
    }
}

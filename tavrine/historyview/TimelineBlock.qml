import QtQuick
import Tavrine.Ui
import QtQuick.Layouts

// One block of the timeline column, a row of TimelineModel: a faint bar for a gap, a tappable coloured block
// with its label and duration (and, unfolded, its detail rows) for anything else.
Item {
    id: block
    required property int segmentId
    required property bool isGap
    required property real blockY
    required property real blockHeight
    required property real layoutHeight
    required property string label
    required property string duration
    required property color kindColor
    required property bool selected
    required property var details
    required property string accessibilityLabel
    property bool animated: false
    signal tapped(int id)

    readonly property bool tall: layoutHeight >= 28

    y: blockY
    height: blockHeight
    Behavior on height { enabled: block.animated; NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }
    Behavior on y { enabled: block.animated; NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }

    objectName: isGap ? "timelineGap" : "timelineBlock"
    Accessible.ignored: isGap
    Accessible.role: Accessible.Button
    Accessible.name: accessibilityLabel
    Accessible.selected: selected
    Accessible.onPressAction: if (!isGap) block.tapped(segmentId)

    SystemPalette { id: system }

    Rectangle {
        visible: block.isGap
        anchors.fill: parent
        anchors.topMargin: Math.min(0.25 * block.layoutHeight, 0.5)
        anchors.bottomMargin: anchors.topMargin
        radius: 4
        color: Qt.rgba(system.windowText.r, system.windowText.g, system.windowText.b, 0.05)
    }

    Rectangle {
        id: body
        visible: !block.isGap
        anchors.fill: parent
        anchors.topMargin: 0.5
        anchors.bottomMargin: 0.5
        radius: 4
        clip: true
        color: Qt.rgba(block.kindColor.r, block.kindColor.g, block.kindColor.b, block.selected ? 0.4 : 0.18)
        border.width: block.selected ? 1 : 0
        border.color: block.kindColor

        Rectangle {
            width: 3
            height: parent.height
            color: block.kindColor
        }

        ColumnLayout {
            anchors.fill: parent
            anchors.leftMargin: 9
            anchors.rightMargin: 6
            anchors.topMargin: block.tall ? 5 : 0
            spacing: 0

            RowLayout {
                spacing: 6
                Layout.fillWidth: true
                Layout.fillHeight: block.details.length === 0 && !block.tall
                Layout.maximumHeight: block.details.length > 0 ? (block.tall ? 20 : block.layoutHeight) : -1
                Layout.alignment: block.tall ? Qt.AlignTop : Qt.AlignVCenter
                // Both texts fill the row's height and centre their line in it: a label whose size changed with the
                // block's height was otherwise left where an earlier pass of the layout had put it, a pixel off in
                // one drawing and not in the next.
                Text {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    verticalAlignment: Text.AlignVCenter
                    text: block.label
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    font.pixelSize: Math.round(block.layoutHeight >= 16 ? 11 : 9.5)
                    font.weight: Font.Medium
                    color: SystemInk.readableOn(SystemInk.text, body.color)
                }
                Text {
                    Layout.leftMargin: 4
                    Layout.fillHeight: true
                    verticalAlignment: Text.AlignVCenter
                    text: block.duration
                    textFormat: Text.PlainText
                    font.pixelSize: Math.round(block.layoutHeight >= 16 ? 11 : 9.5)
                    font.weight: Font.Medium
                    color: SystemInk.secondaryOn(body.color)
                }
            }
            Repeater {
                model: block.details
                RowLayout {
                    id: detailRow
                    required property var modelData
                    spacing: 6
                    Layout.fillWidth: true
                    Layout.preferredHeight: 16
                    Text {
                        Layout.preferredWidth: 30
                        text: detailRow.modelData.label
                        textFormat: Text.PlainText
                        font.pixelSize: Math.round(10.5)
                        color: SystemInk.secondaryOn(body.color)
                    }
                    Text {
                        Layout.fillWidth: true
                        text: detailRow.modelData.value
                        textFormat: Text.PlainText
                        font.pixelSize: Math.round(10.5)
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        color: SystemInk.readableOn(SystemInk.text, body.color)
                    }
                }
            }
            Item { Layout.fillHeight: block.tall || block.details.length > 0 }
        }
    }

    TapHandler {
        enabled: !block.isGap
        onTapped: block.tapped(block.segmentId)
    }
}

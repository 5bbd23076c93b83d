import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Tavrine.Ui

// The session length: 15m, 30m and 45m, and a custom length stepped by 5 with minus and plus. A translucent
// thumb lies behind the selected segment and slides when the selection moves.
Item {
    id: root
    objectName: "durationSelector"

    required property DurationModel model
    property bool dark: PillMetrics.dark

    readonly property color primary: PillMetrics.ink(dark, 0.88)
    // Faded as far as it still reads on the track, in either scheme.
    readonly property color secondary: PillMetrics.ink(dark, 0.62)

    implicitWidth: 344
    implicitHeight: 48

    // The selector coming on screen takes a planned length that is no preset as its custom length.
    Component.onCompleted: {
        if (visible)
            model.adoptSessionMinutes();
        Qt.callLater(() => thumb.slides = true);
    }
    onVisibleChanged: if (visible) model.adoptSessionMinutes()

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: PillMetrics.ink(root.dark, 0.06)
    }
    CapsuleBorder {
        anchors.fill: parent
        topColor: Qt.rgba(0, 0, 0, 0.18)
        bottomColor: Qt.rgba(1, 1, 1, 0.06)
    }

    // Behind the selected segment; it follows the segment's frame with the selection's spring. Its frame is the
    // segment's own formula, not the segment item, so it stands right from the first frame and after any change
    // of the selection or the segments.
    Rectangle {
        id: thumb
        objectName: "durationThumb"
        readonly property rect frame: root.model.segmentFrame(root.model.selectedSegment, row.area)
        x: row.x + frame.x
        y: row.y + frame.y
        width: frame.width
        height: frame.height
        radius: height / 2
        color: root.dark ? PillMetrics.ink(true, 0.16) : Qt.rgba(1, 1, 1, 0.92)
        // Only changes of the selection slide; the first placement does not.
        property bool slides: false
        // Black at 18 %, blurred 3, 1 down: the shadow of what the capsule's fill covers.
        Shadow {
            objectName: "durationThumbShadow"
            z: -1
            anchors.fill: parent
            cornerRadius: thumb.radius
            fill: thumb.color
            color: Qt.rgba(0, 0, 0, 0.18)
            blurRadius: 3
            verticalOffset: 1
        }
        Behavior on x { enabled: thumb.slides; NumberAnimation { duration: 350; easing.type: Easing.OutCubic } }
        Behavior on width { enabled: thumb.slides; NumberAnimation { duration: 350; easing.type: Easing.OutCubic } }
    }

    Item {
        id: row
        anchors.fill: parent
        anchors.margins: 4
        readonly property size area: Qt.size(width, height)

        Repeater {
            id: presets
            model: root.model.presets
            delegate: T.AbstractButton {
                required property int modelData
                required property int index
                readonly property bool chosen: root.model.minutes === modelData
                readonly property rect frame: root.model.segmentFrame(index, row.area)
                objectName: "preset" + modelData
                x: frame.x
                width: frame.width
                height: frame.height
                text: modelData + "m"
                Accessible.name: text
                Accessible.selected: chosen
                contentItem: Text {
                    text: parent.text
                    font.pixelSize: 13
                    font.weight: Font.DemiBold
                    color: parent.chosen ? root.primary : root.secondary
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    Behavior on color { ColorAnimation { duration: 200 } }
                }
                onClicked: root.model.choosePreset(modelData)
            }
        }

        Item {
            id: customSegment
            objectName: "duration"
            readonly property rect frame: root.model.segmentFrame(root.model.presets.length, row.area)
            x: frame.x
            width: frame.width
            height: frame.height
            readonly property color ink: root.model.isCustom ? root.primary : root.secondary

            Accessible.role: Accessible.SpinBox
            Accessible.name: root.model.customAccessibleName
            Accessible.selected: root.model.isCustom
            Accessible.onIncreaseAction: root.model.increase()
            Accessible.onDecreaseAction: root.model.decrease()

            component StepButton: T.AbstractButton {
                id: step
                property string symbol
                implicitWidth: 22
                implicitHeight: 22
                Layout.alignment: Qt.AlignVCenter
                Accessible.name: text
                background: Rectangle {
                    radius: width / 2
                    color: PillMetrics.ink(root.dark, step.pressed ? 0.16 : 0.08)
                }
                contentItem: Item {
                    SymbolIcon {
                        anchors.centerIn: parent
                        symbol: step.symbol
                        size: 10
                        color: customSegment.ink
                    }
                }
            }

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 6
                anchors.rightMargin: 6
                spacing: 2
                StepButton {
                    objectName: "fewerMinutes"
                    symbol: "minus"
                    text: "Fewer minutes"
                    onClicked: root.model.decrease()
                }
                T.AbstractButton {
                    objectName: "customMinutes"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    text: root.model.customLabel
                    Accessible.name: text
                    contentItem: Text {
                        text: parent.text
                        font.pixelSize: 13
                        font.weight: Font.DemiBold
                        color: customSegment.ink
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        Behavior on color { ColorAnimation { duration: 200 } }
                    }
                    onClicked: root.model.selectCustom()
                }
                StepButton {
                    objectName: "moreMinutes"
                    symbol: "plus"
                    text: "More minutes"
                    onClicked: root.model.increase()
                }
            }
        }
    }
}

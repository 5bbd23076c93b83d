import QtQuick
import QtQuick.Layouts
import Tavrine.HistoryView
import Tavrine.Onboarding

// The white card that narrates the rehearsal: the story bars, what just happened, and what to do next. Forced
// light. It reads its model only and calls next() or skip() once per press.
Item {
    id: root
    required property CoachModel model
    signal next()
    signal skip()

    readonly property color ink: Scenery.coachInk
    // The card's outline, for a window mask where nothing composites.
    readonly property real cornerRadius: 18
    readonly property real outlineRadius: cornerRadius

    implicitWidth: 440
    implicitHeight: content.implicitHeight + 36
    width: 440

    Rectangle {
        id: card
        anchors.fill: parent
        radius: root.cornerRadius
        color: "white"
    }
    Rectangle {
        anchors.fill: parent
        radius: root.cornerRadius
        color: "transparent"
        border.width: 1
        border.color: Qt.rgba(0, 0, 0, 0.08)
    }

    // The counter and the current bar move on every frame, on the rehearsal's clock, while a drift runs.
    FrameAnimation {
        running: root.model.counting && root.visible
        onTriggered: root.model.tick()
    }

    ColumnLayout {
        id: content
        x: 18
        y: 18
        width: 404
        spacing: 0
        // A new beat brings its content in with a short fade.
        opacity: 1
        Connections {
            target: root.model
            function onBeatChanged() { beatFade.restart() }
        }
        NumberAnimation {
            id: beatFade
            target: content; property: "opacity"; from: 0; to: 1; duration: 200
            easing.type: Easing.BezierSpline; easing.bezierCurve: Scenery.easeInOut
        }

        // Story bars.
        Row {
            id: bars
            objectName: "storyBars"
            Layout.fillWidth: true
            spacing: 4
            Accessible.role: Accessible.ProgressBar
            Accessible.name: root.model.stepLabel
            Repeater {
                model: root.model.barFills
                Rectangle {
                    required property var modelData
                    width: (bars.width - 6 * bars.spacing) / 7
                    height: 3
                    radius: 1.5
                    color: Qt.rgba(0, 0, 0, 0.12)
                    Accessible.ignored: true
                    Rectangle {
                        width: parent.width * modelData
                        height: parent.height
                        radius: 1.5
                        color: Qt.rgba(0, 0, 0, 0.85)
                    }
                }
            }
        }

        // Title and body.
        ColumnLayout {
            objectName: "rehearsalCoach"
            Layout.fillWidth: true
            Layout.topMargin: 16
            spacing: 5
            Accessible.role: Accessible.StaticText
            Accessible.name: root.model.title + "\n" + root.model.body
            Text {
                objectName: "coachTitle"
                Layout.fillWidth: true
                text: root.model.title
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 17
                font.weight: Font.DemiBold
                color: root.ink
                Accessible.ignored: true
            }
            Text {
                objectName: "coachBody"
                Layout.fillWidth: true
                text: root.model.body
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 13
                lineHeightMode: Text.FixedHeight
                lineHeight: bodyMetrics.lineSpacing + 2
                color: Qt.rgba(0, 0, 0, 0.62)
                Accessible.ignored: true
                FontMetrics { id: bodyMetrics; font.pixelSize: 13 }
            }
        }

        // The sample timeline of the finished beat; it ignores clicks.
        Loader {
            objectName: "coachTimelineLoader"
            Layout.fillWidth: true
            Layout.topMargin: 14
            Layout.preferredHeight: 112
            active: root.model.showsTimeline
            visible: active
            sourceComponent: SessionTimelineView {
                objectName: "coachTimeline"
                model: root.model.timeline
                height: 112
                selection: -1
                showsCluesOverTimeline: false
                expandsSelection: false
                enabled: false
            }
        }

        // Footer.
        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: 16
            Layout.preferredHeight: 32
            spacing: 12

            Text {
                objectName: "rehearsalSkip"
                text: qsTr("Skip")
                textFormat: Text.PlainText
                font.pixelSize: 13
                color: Scenery.coachSkipGrey
                Accessible.role: Accessible.Button
                Accessible.name: text
                Accessible.onPressAction: root.skip()
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: root.skip()
                }
            }
            Item { Layout.fillWidth: true }

            Rectangle {
                objectName: "rehearsalNext"
                visible: root.model.element === CoachModel.NextButton
                implicitWidth: nextRow.implicitWidth + 28
                implicitHeight: 32
                radius: 16
                color: nextArea.pressed ? Qt.darker(root.ink, 0.6) : root.ink
                Accessible.role: Accessible.Button
                Accessible.name: root.model.buttonTitle
                Accessible.onPressAction: root.next()
                Row {
                    id: nextRow
                    anchors.centerIn: parent
                    spacing: 7
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: root.model.buttonTitle
                        textFormat: Text.PlainText
                        font.pixelSize: 13
                        font.weight: Font.DemiBold
                        color: "white"
                    }
                    SymbolIcon {
                        anchors.verticalCenter: parent.verticalCenter
                        symbol: "return"
                        pixelSize: 11
                        color: "white"
                        opacity: 0.7
                    }
                }
                MouseArea {
                    id: nextArea
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    // The capsule is the clickable shape.
                    containmentMask: QtObject {
                        function contains(point: point): bool {
                            const r = nextArea.height / 2
                            const cx = Math.min(Math.max(point.x, r), nextArea.width - r)
                            const dx = point.x - cx, dy = point.y - r
                            return dx * dx + dy * dy <= r * r
                        }
                    }
                    onClicked: root.next()
                }
            }

            Text {
                objectName: "rehearsalPrompt"
                visible: root.model.element === CoachModel.Prompt
                text: root.model.prompt
                textFormat: Text.PlainText
                font.pixelSize: 13
                font.weight: Font.DemiBold
                color: root.ink
            }

            Row {
                id: counter
                objectName: "driftCounter"
                visible: root.model.element === CoachModel.DriftCounter && root.model.showsCounter
                Accessible.role: Accessible.StaticText
                Accessible.name: root.model.counterLabel
                // Every digit takes a cell of the widest digit's width, so the text stands still while it counts.
                readonly property real digitCell: {
                    let widest = 0
                    for (let d = 0; d <= 9; ++d)
                        widest = Math.max(widest, counterMetrics.advanceWidth(String(d)))
                    return Math.ceil(widest)
                }
                FontMetrics { id: counterMetrics; font.pixelSize: 13; font.weight: Font.Medium }
                Repeater {
                    model: root.model.counterRuns
                    Text {
                        required property var modelData
                        width: modelData.digit ? counter.digitCell : implicitWidth
                        horizontalAlignment: Text.AlignHCenter
                        text: modelData.text
                        textFormat: Text.PlainText
                        font.pixelSize: 13
                        font.weight: Font.Medium
                        color: Qt.rgba(0, 0, 0, 0.5)
                        Accessible.ignored: true
                    }
                }
            }
        }
    }
}

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

    // The card's outline, for a window mask where nothing composites.
    readonly property real cornerRadius: 18
    readonly property real outlineRadius: cornerRadius

    implicitWidth: 440
    implicitHeight: page.implicitHeight + 36
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

    // A new beat cross-fades the content: a still copy of what was shown fades out while the new content fades
    // in. The copy lies under the live content, takes no input and is cut to the card, which already has the
    // new content's height.
    Item {
        anchors.fill: parent
        clip: leaving.visible
        CoachPage {
            id: leaving
            x: 18
            y: 18
            live: false
            enabled: false
            opacity: 0
            visible: opacity > 0
            Accessible.ignored: true
        }
        CoachPage {
            id: page
            x: 18
            y: 18
            live: true
            stepLabel: root.model.stepLabel
            barFills: root.model.barFills
            title: root.model.title
            body: root.model.body
            showsTimeline: root.model.showsTimeline
            timeline: root.model.timeline
            element: root.model.element
            buttonTitle: root.model.buttonTitle
            prompt: root.model.prompt
            showsCounter: root.model.showsCounter
            counterRuns: root.model.counterRuns
            counterLabel: root.model.counterLabel
            onNext: root.next()
            onSkip: root.skip()
        }
    }
    Connections {
        target: root.model
        function onBeatAboutToChange() {
            leaving.keep(page)
            beatFade.restart()
        }
    }
    ParallelAnimation {
        id: beatFade
        NumberAnimation {
            target: page; property: "opacity"; from: 0; to: 1; duration: 200
            easing.type: Easing.BezierSpline; easing.bezierCurve: Scenery.easeInOut
        }
        NumberAnimation {
            target: leaving; property: "opacity"; from: 1; to: 0; duration: 200
            easing.type: Easing.BezierSpline; easing.bezierCurve: Scenery.easeInOut
        }
    }

    // The card's content for one beat. The live copy names its parts for tests and assistive tools; the leaving
    // copy names none.
    component CoachPage: ColumnLayout {
        id: content
        property bool live: true
        property string stepLabel
        property var barFills: []
        property string title
        property string body
        property bool showsTimeline: false
        property var timeline: null
        property int element: CoachModel.NextButton
        property string buttonTitle
        property string prompt
        property bool showsCounter: false
        property var counterRuns: []
        property string counterLabel
        signal next()
        signal skip()

        // Takes a still copy of what `other` shows now.
        function keep(other) {
            stepLabel = other.stepLabel
            barFills = other.barFills
            title = other.title
            body = other.body
            showsTimeline = other.showsTimeline
            timeline = other.timeline
            element = other.element
            buttonTitle = other.buttonTitle
            prompt = other.prompt
            showsCounter = other.showsCounter
            counterRuns = other.counterRuns
            counterLabel = other.counterLabel
        }
        function named(name) { return live ? name : "" }

        readonly property color ink: Scenery.coachInk
        width: 404
        spacing: 0

        // Story bars.
        Row {
            id: bars
            objectName: content.named("storyBars")
            Layout.fillWidth: true
            spacing: 4
            Accessible.role: Accessible.ProgressBar
            Accessible.name: content.stepLabel
            // A fixed seven, so a drift's frames change the fills without making the bars again.
            Repeater {
                model: 7
                Rectangle {
                    required property int index
                    readonly property real fill: content.barFills[index] ?? 0
                    width: (bars.width - 6 * bars.spacing) / 7
                    height: 3
                    radius: 1.5
                    color: Qt.rgba(0, 0, 0, 0.12)
                    Accessible.ignored: true
                    Rectangle {
                        width: parent.width * parent.fill
                        height: parent.height
                        radius: 1.5
                        color: Qt.rgba(0, 0, 0, 0.85)
                    }
                }
            }
        }

        // Title and body.
        ColumnLayout {
            objectName: content.named("rehearsalCoach")
            Layout.fillWidth: true
            Layout.topMargin: 16
            spacing: 5
            Accessible.role: Accessible.StaticText
            Accessible.name: content.title + "\n" + content.body
            Text {
                objectName: content.named("coachTitle")
                Layout.fillWidth: true
                text: content.title
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 17
                font.weight: Font.DemiBold
                color: content.ink
                Accessible.ignored: true
            }
            Text {
                objectName: content.named("coachBody")
                Layout.fillWidth: true
                text: content.body
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
            objectName: content.named("coachTimelineLoader")
            Layout.fillWidth: true
            Layout.topMargin: 14
            Layout.preferredHeight: 112
            active: content.showsTimeline
            visible: active
            sourceComponent: SessionTimelineView {
                objectName: content.named("coachTimeline")
                model: content.timeline
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
                objectName: content.named("rehearsalSkip")
                text: qsTr("Skip")
                textFormat: Text.PlainText
                font.pixelSize: 13
                color: Scenery.coachSkipGrey
                Accessible.role: Accessible.Button
                Accessible.name: text
                Accessible.onPressAction: content.skip()
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: content.skip()
                }
            }
            Item { Layout.fillWidth: true }

            Rectangle {
                objectName: content.named("rehearsalNext")
                visible: content.element === CoachModel.NextButton
                implicitWidth: nextRow.implicitWidth + 28
                implicitHeight: 32
                radius: 16
                color: nextArea.pressed ? Qt.darker(content.ink, 0.6) : content.ink
                Accessible.role: Accessible.Button
                Accessible.name: content.buttonTitle
                Accessible.onPressAction: content.next()
                Row {
                    id: nextRow
                    anchors.centerIn: parent
                    spacing: 7
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: content.buttonTitle
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
                    onClicked: content.next()
                }
            }

            Text {
                objectName: content.named("rehearsalPrompt")
                visible: content.element === CoachModel.Prompt
                text: content.prompt
                textFormat: Text.PlainText
                font.pixelSize: 13
                font.weight: Font.DemiBold
                color: content.ink
            }

            Row {
                id: counter
                objectName: content.named("driftCounter")
                visible: content.element === CoachModel.DriftCounter && content.showsCounter
                Accessible.role: Accessible.StaticText
                Accessible.name: content.counterLabel
                // Every digit takes a cell of the widest digit's width, so the text stands still while it counts.
                readonly property real digitCell: {
                    let widest = 0
                    for (let d = 0; d <= 9; ++d)
                        widest = Math.max(widest, counterMetrics.advanceWidth(String(d)))
                    return Math.ceil(widest)
                }
                FontMetrics { id: counterMetrics; font.pixelSize: 13; font.weight: Font.Medium }
                Repeater {
                    model: content.counterRuns
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

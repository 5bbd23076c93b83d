import QtQuick
import QtQuick.Templates as T
import QtQuick.Layouts
import Tavrine.Ui
import Tavrine.Shell

// The main window's content: the running screen while a session runs or is paused, else the recap of the
// session that just ended, else the setup; History and Settings sit in the top-right corner on all three.
Item {
    id: root
    objectName: "contentView"

    required property MainWindowModel model
    readonly property int screen: model.screen
    // The header lies over the padded content, and the setup's headline and the running title span its whole
    // width: both start below the buttons, as far from them as the buttons are from each other, so no headline
    // or intention of any length runs under them and the headline keeps its full size.
    readonly property real headerClearance: Math.max(0, header.y + header.height + header.spacing - padding)
    // Between the window's edges and what it shows.
    readonly property real padding: 28

    implicitWidth: 400
    implicitHeight: column.implicitHeight + 2 * padding

    // The window shows or becomes active: typing goes to the intention while the setup shows, and Return to
    // "Again" while the recap shows.
    function focusScreen() {
        setupScreen.focusIntention()
        if (recapLoader.visible)
            recapLoader.forceActiveFocus()
    }

    // The application's tint for every control inside.
    palette.highlight: AppStyle.accentColor

    // The setup's headline, over the room the setup leaves for it. It comes first, as it reads.
    RotatingHeadline {
        id: headline
        visible: setupScreen.visible
        x: root.padding + setupScreen.x + setupScreen.headlineSlot.x
        y: root.padding + setupScreen.y + setupScreen.headlineSlot.y
        // Its own width until the setup is laid out: a headline fitted into no room would be laid out twice.
        width: setupScreen.headlineSlot.width > 0 ? setupScreen.headlineSlot.width : implicitWidth
        reduceMotion: root.model.reduceMotion
    }

    // While the setup shows, the controls below the headline are drawn into one texture and kept while nothing in
    // it changes: each frame of the headline's change then draws one picture instead of every pill, edge, shadow
    // and label. One picture, not one per control: Mesa's software rasteriser draws each further layer a frame
    // shows in a pass of its own, and that costs more than the pixels of one picture. The picture ends a little
    // beyond the controls' shadows, because each frame blends every pixel of it: the header is drawn as it is.
    Item {
        id: kept
        objectName: "keptControls"
        // The setup's controls and a little more than their shadows; the whole content on the other screens.
        readonly property bool aroundControls: setupScreen.visible
        readonly property real shadowRoom: 8
        x: aroundControls ? root.padding - shadowRoom : 0
        y: aroundControls ? root.padding + setupScreen.y + setupScreen.controlsTop - shadowRoom : 0
        width: aroundControls ? column.width + 2 * shadowRoom : root.width
        height: aroundControls ? root.padding + column.height + shadowRoom - y : root.height
        layer.enabled: setupScreen.keepsPictures && setupScreen.visible

        ColumnLayout {
            id: column
            // Where it would lie without the picture, whatever part of the window the picture covers.
            x: root.padding - kept.x
            y: root.padding - kept.y
            width: root.width - 2 * root.padding
            spacing: 20

            // The running screen is built once the application is idle after its launch, the recap a moment after
            // the running screen has been on screen, or each when it first shows if that comes first; never on the
            // way to the launch's first picture.
            ScreenLoader {
                id: runningLoader
                shown: root.screen === MainWindowModel.Running
                buildsAhead: root.model.runningBuiltAhead
                stage: drawAheadStage
                Layout.fillWidth: true
                file: Qt.resolvedUrl("RunningScreen.qml")
                properties: ({
                    objectName: "runningScreen",
                    model: root.model.running,
                    monitoring: root.model.monitoring
                })
                Binding {
                    when: runningLoader.item !== null
                    target: runningLoader.item
                    property: "titleTopInset"
                    value: root.headerClearance
                }
            }

            // An End that leads to a recap is clicked on the running screen: built while that screen is on
            // screen, the recap is ready by then, and its scene-graph objects are made while the window shows
            // anyway, not when the window next opens. A session whose window never opens never pays for it.
            Timer {
                interval: 250
                running: runningLoader.visible && root.Window.window !== null && root.Window.window.visible
                         && !recapLoader.active
                onTriggered: root.model.buildAhead(MainWindowModel.Recap)
            }

            ScreenLoader {
                id: recapLoader
                shown: root.screen === MainWindowModel.Recap
                buildsAhead: root.model.recapBuiltAhead
                stage: drawAheadStage
                onDrawingOnStage: root.model.recap.showRunningSessionAhead()
                focus: true
                // The intention field held the keys until the session ended.
                onVisibleChanged: if (visible) forceActiveFocus()
                Layout.fillWidth: true
                file: Qt.resolvedUrl("../HistoryView/SessionRecapView.qml")
                properties: ({
                    objectName: "recapScreen",
                    model: root.model.recap
                })
            }

            SetupScreen {
                id: setupScreen
                objectName: "setupScreen"
                visible: root.screen === MainWindowModel.Setup
                Layout.fillWidth: true
                setup: root.model.setup
                duration: root.model.duration
                headlineTopInset: root.headerClearance
                headlineHeight: headline.implicitHeight
            }
        }
    }

    // The recap's card is drawn tilted from a smoothed, mipmapped picture of it. Mesa's software OpenGL compiles the
    // code that makes and reads such a picture the first time a window draws one (some 80 ms, which its shader cache
    // does not keep from one run to the next): an empty picture of the kind, drawn once in a corner when the
    // screens are built ahead, pays for it long before the first end of a session and shows nothing.
    Loader {
        id: tiltedPictureWarmUp
        objectName: "tiltedPictureWarmUp"
        // Frames begun since it came: the second begins once the first, which drew it, has been handed over.
        property int frames: 0
        active: root.model.runningBuiltAhead && frames < 2
        sourceComponent: Item {
            width: 3
            height: 5
            rotation: -1.2
            antialiasing: true
            layer.enabled: true
            layer.smooth: true
            layer.mipmap: true
        }
        Connections {
            target: tiltedPictureWarmUp.active ? root.Window.window : null
            // A window that has nothing else to draw is asked for the second frame.
            function onAfterAnimating() {
                if (++tiltedPictureWarmUp.frames < 2)
                    root.Window.window.update()
            }
        }
    }

    // Beyond the window's right edge: a screen built ahead is drawn here once, as wide as the column it shows in.
    FocusScope {
        id: drawAheadStage
        objectName: "drawAheadStage"
        x: root.width
        width: column.width
    }

    Row {
        id: header
        objectName: "header"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 12
        spacing: 6

        PillButton {
            objectName: "history"
            shape: PillButton.Circle
            text: "History"
            display: T.AbstractButton.IconOnly
            iconName: "clock.arrow.circlepath"
            T.ToolTip.text: "History"
            T.ToolTip.visible: hovered
            T.ToolTip.delay: 600
            onClicked: root.model.showHistory()
        }
        PillButton {
            objectName: "settings"
            shape: PillButton.Circle
            text: "Settings"
            display: T.AbstractButton.IconOnly
            iconName: "gearshape"
            T.ToolTip.text: "Settings"
            T.ToolTip.visible: hovered
            T.ToolTip.delay: 600
            onClicked: root.model.showSettings()
        }
    }
}

import QtQuick

// A screen of the main window, built the first time it shows or is asked for ahead, and kept from then on: a
// launch builds only the screen it opens on. A screen is named by its file, not by its type: a type named here
// would be compiled, with every module it imports (QtQuick.Controls and its style, some 30 ms), before the
// window's first picture. The file is compiled in the background a second after the window first shows instead,
// and the screen is built hidden once `buildsAhead` holds (the application idle): its first showing then neither
// compiles nor builds it. Given a `stage`, a screen built ahead in a window on screen is also drawn once there,
// out of sight, and put back hidden: its first showing then makes no paint nodes, blurs no shadow, renders no layer
// and has the driver compile no program, which a screen's first frame would otherwise do in the click's time (the
// recap's first End took twice a later one).
Loader {
    id: loader

    required property bool shown
    required property url file
    property bool buildsAhead: false
    // The screen's required properties.
    property var properties: ({})
    // Holds the background compile's result until the screen is built from it.
    property Component prepared: null
    // An item beyond the window's edge, as wide as the screen will be when it shows.
    property Item stage: null
    // The frames begun while the screen is on the stage; -1 before, -2 once it was drawn there.
    property int stageFrames: -1
    // The screen is about to be drawn on the stage: the moment to give it what its first showing will show.
    signal drawingOnStage()

    visible: shown
    active: false
    onShownChanged: {
        leaveStage()
        build()
    }
    onBuildsAheadChanged: build()
    onLoaded: drawOnStage()
    Component.onCompleted: build()

    function drawOnStage() {
        const window = loader.Window.window
        if (!stage || shown || !item || stageFrames !== -1 || !window || !window.visible)
            return
        stageFrames = 0
        drawingOnStage()
        // The stage is its own focus scope: the screen keeps its focus there without taking the window's.
        item.parent = stage
        item.width = stage.width
        window.update()
    }

    function leaveStage() {
        if (stageFrames < 0)
            return
        stageFrames = -2
        const hadFocus = item.focus
        item.parent = loader
        item.focus = hadFocus
    }

    function build() {
        if ((!shown && !buildsAhead) || active)
            return
        active = true
        setSource(file, properties)
    }

    Timer {
        interval: 1000
        running: !loader.active && loader.prepared === null && loader.Window.window !== null
                 && loader.Window.window.visible
        onTriggered: loader.prepared = Qt.createComponent(loader.file, Component.Asynchronous)
    }

    Connections {
        target: loader.stageFrames >= 0 ? loader.Window.window : null
        // The second frame begins once the first, which drew the screen, has been handed over; a window with
        // nothing else to draw is asked for it.
        function onAfterAnimating() {
            if (++loader.stageFrames < 2)
                loader.Window.window.update()
            else
                loader.leaveStage()
        }
        function onVisibleChanged() { loader.leaveStage() }
    }
    // A screen built ahead while its window was hidden is drawn when the window next shows.
    Connections {
        target: loader.stage && loader.stageFrames === -1 && loader.item ? loader.Window.window : null
        function onVisibleChanged() { loader.drawOnStage() }
    }
}

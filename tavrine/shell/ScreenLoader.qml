import QtQuick

// A screen of the main window, built the first time it shows or is asked for ahead, and kept from then on: a
// launch builds only the screen it opens on. A screen is named by its file, not by its type: a type named here
// would be compiled, with every module it imports (QtQuick.Controls and its style, some 30 ms), before the
// window's first picture. The file is compiled in the background a second after the window first shows instead,
// and the screen is built hidden once `buildsAhead` holds (the application idle): its first showing then neither
// compiles nor builds it.
Loader {
    id: loader

    required property bool shown
    required property url file
    property bool buildsAhead: false
    // The screen's required properties.
    property var properties: ({})
    // Holds the background compile's result until the screen is built from it.
    property Component prepared: null

    visible: shown
    active: false
    onShownChanged: build()
    onBuildsAheadChanged: build()
    Component.onCompleted: build()

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
}

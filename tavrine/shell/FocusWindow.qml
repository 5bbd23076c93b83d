import QtQuick
import Tavrine.Shell

// The main window: a panel whose height follows its content.
Window {
    id: window
    property QtObject session
    property MainWindowModel mainWindow

    width: content.implicitWidth
    height: content.implicitHeight
    minimumHeight: content.implicitHeight
    maximumHeight: content.implicitHeight
    color: palette.window

    SystemPalette { id: palette }

    // Permissions are read again each time the window shows.
    onVisibleChanged: {
        if (visible && mainWindow)
            mainWindow.refreshPermissions()
        if (visible && loader.item)
            loader.item.focusIntention()
    }
    onActiveChanged: if (active && loader.item) loader.item.focusIntention()

    Item {
        id: content
        objectName: "focusContent"
        anchors.fill: parent
        implicitWidth: loader.item ? loader.item.implicitWidth : 400
        implicitHeight: loader.item ? loader.item.implicitHeight : 260

        Loader {
            id: loader
            anchors.fill: parent
            active: window.mainWindow !== null
            focus: true
            sourceComponent: ContentView {
                model: window.mainWindow
            }
        }
    }
}

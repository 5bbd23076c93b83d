import QtQuick
import Tavrine.Ui
import Tavrine.Shell

// The main window: a panel whose height follows its content, on the frosted background. Where the desktop does
// not blur, the panel is opaque and frameless on a window of the same colour, so a one-pixel edge sets it apart.
Window {
    id: window
    property QtObject session
    property MainWindowModel mainWindow

    width: content.implicitWidth
    height: growth.height
    minimumHeight: growth.height
    maximumHeight: growth.height
    color: "transparent"

    SystemPalette { id: palette }

    // Permissions are read again each time the window shows.
    onVisibleChanged: {
        if (visible && mainWindow)
            mainWindow.refreshPermissions()
        if (visible && loader.item)
            loader.item.focusScreen()
    }
    onActiveChanged: if (active && loader.item) loader.item.focusScreen()

    // The screens differ in height: a shown window changes height out of sight until it is drawn anew.
    WindowGrowth {
        id: growth
        window: window
        wantedHeight: content.implicitHeight
    }

    // The panel at its content's height.
    Item {
        width: window.width
        height: content.implicitHeight

        // Opaque, the window's own colour is the background already: the veil would only paint it again.
        FrostedWindowBackground {
            visible: Frosted.translucent
        }

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

        Rectangle {
            objectName: "windowEdge"
            anchors.fill: parent
            visible: !Frosted.translucent
            color: "transparent"
            border.width: 1
            border.color: palette.mid
        }
    }
}

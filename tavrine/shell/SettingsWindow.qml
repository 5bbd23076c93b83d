import QtQuick
import QtQuick.Window
import Tavrine.Ui
import Tavrine.Shell

// The settings window: the form's width, as tall as the form when the screen allows, on the frosted background.
// It reads the permissions and the login item again each time it shows.
Window {
    id: window
    property QtObject session
    property QtObject history
    property QtObject updater
    property SettingsModel settings

    readonly property real tallest: Math.max(320, Screen.desktopAvailableHeight - 80)

    width: view.implicitWidth
    height: Math.min(view.implicitHeight, tallest)
    minimumWidth: view.implicitWidth
    maximumWidth: view.implicitWidth
    minimumHeight: Math.min(view.implicitHeight, 320)
    maximumHeight: view.implicitHeight
    color: "transparent"

    onVisibleChanged: if (visible && settings) settings.refreshStatus()

    SettingsWindowTitle { window: window }

    FrostedWindowBackground {}

    SettingsView {
        id: view
        objectName: "settingsContent"
        anchors.fill: parent
        session: window.session
        settings: window.settings
    }
}

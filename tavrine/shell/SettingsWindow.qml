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

    readonly property real fittedHeight: Math.min(view.implicitHeight, tallest)

    width: view.implicitWidth
    minimumWidth: view.implicitWidth
    maximumWidth: view.implicitWidth
    color: "transparent"

    // The window manager holds the window to the size limits it last saw: a taller height asked for before the
    // raised maximum is refused, and the form is then drawn for one height in a window of another, off from
    // where the pointer lands. So the limits are widened before the size changes and narrowed after it.
    function fit() {
        const low = Math.min(view.implicitHeight, 320)
        minimumHeight = Math.min(minimumHeight, low)
        maximumHeight = Math.max(maximumHeight, view.implicitHeight)
        height = fittedHeight
        minimumHeight = low
        maximumHeight = view.implicitHeight
    }
    onFittedHeightChanged: fit()
    Component.onCompleted: fit()

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

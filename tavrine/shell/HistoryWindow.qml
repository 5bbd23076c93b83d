import QtQuick
import Tavrine.HistoryView

// The History window: 800 × 600 at first, never smaller than what its content needs.
Window {
    id: window
    property QtObject history
    property QtObject historyBrowser

    width: 800
    height: 600
    minimumWidth: content.implicitWidth
    minimumHeight: content.implicitHeight
    color: palette.window

    SystemPalette { id: palette }

    Loader {
        id: content
        objectName: "historyContent"
        anchors.fill: parent
        active: window.historyBrowser !== null
        sourceComponent: SessionHistoryView { browser: window.historyBrowser }
    }
}

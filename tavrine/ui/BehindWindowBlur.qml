import QtQuick
import Tavrine.Ui

// Asks the compositor to blur the desktop behind this item's window (the nudge card lies on it). Draws nothing.
Item {
    Window.onWindowChanged: Frosted.requestBlurBehind(Window.window)
    Component.onCompleted: Frosted.requestBlurBehind(Window.window)
}

import QtQuick

// A screen of the main window, built the first time it shows and kept from then on: a launch builds only the
// screen it opens on.
Loader {
    required property bool shown

    visible: shown
    active: false
    onShownChanged: if (shown) active = true
    Component.onCompleted: if (shown) active = true
}

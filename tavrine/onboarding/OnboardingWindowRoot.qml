import QtQuick
import Tavrine.Onboarding

// The first-run window's content. Only the user's closing (or the flow's own hide) counts as the window going
// away: the stage hides and gives back the window during a rehearsal, which is no disappearance.
Item {
    id: root
    property OnboardingFlow flow
    readonly property var hostWindow: Window.window

    implicitWidth: 800
    implicitHeight: 600

    Loader {
        anchors.fill: parent
        active: root.flow !== null
        sourceComponent: OnboardingView { flow: root.flow }
    }

    Connections {
        target: root.hostWindow
        ignoreUnknownSignals: true
        function onVisibleChanged() {
            if (root.hostWindow.visible && root.flow)
                root.flow.windowShown()
        }
        function onClosing() {
            if (root.flow)
                root.flow.windowClosing()
        }
    }
    Component.onCompleted: {
        if (hostWindow && hostWindow.visible && flow)
            flow.windowShown()
    }
}

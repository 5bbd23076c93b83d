import QtQuick
import Tavrine.Onboarding

// The first-run window; it takes exactly its content's size.
Window {
    id: window
    property QtObject session
    property OnboardingFlow onboardingFlow

    width: content.implicitWidth
    height: content.implicitHeight
    minimumWidth: content.implicitWidth
    minimumHeight: content.implicitHeight
    maximumWidth: content.implicitWidth
    maximumHeight: content.implicitHeight
    color: palette.window

    SystemPalette { id: palette }

    OnboardingWindowRoot {
        id: content
        objectName: "onboardingContent"
        anchors.fill: parent
        flow: window.onboardingFlow
    }
}

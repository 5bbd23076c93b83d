import QtQuick

// The welcome page: a picture of the main window, 300 high, scaled to fit.
Image {
    objectName: "onboardingWelcomeShot"
    source: "qrc:/onboarding/WelcomeShot.png"
    fillMode: Image.PreserveAspectFit
    smooth: true
    mipmap: true
    height: 300
    Accessible.ignored: true
}

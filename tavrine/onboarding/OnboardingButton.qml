import QtQuick
import Tavrine.Ui

// A footer or row button of the onboarding: the form's adaptive button, drawn light whatever the desktop's
// scheme, large in the footer and small in a row.
AdaptiveButton {
    property bool large: true

    dark: false
    leftPadding: large ? 18 : 10
    rightPadding: large ? 18 : 10
    implicitHeight: large ? 34 : 24
    font.pixelSize: large ? 14 : 12
}

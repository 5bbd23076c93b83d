import QtQuick
import Tavrine.Ui

// The card's capsule button: the application's pill at the small size, drawn for the scheme the card's text
// colour belongs to (light text: dark scheme), so the notch panel's black card gets dark pills.
PillButton {
    property color textColor: PillMetrics.labelColor(PillMetrics.dark)
    controlSize: PillMetrics.Small
    dark: textColor.hslLightness > 0.5
}

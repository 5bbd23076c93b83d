import QtQuick
import QtQuick.Controls.impl

// One of the scenery's symbols (resources/icons), tinted, at the size of a glyph of `pixelSize`.
IconImage {
    id: root
    required property string symbol
    property real pixelSize: 13
    readonly property real side: Math.round(pixelSize * 1.2)

    source: "qrc:/Tavrine/Onboarding/icons/" + symbol + ".svg"
    sourceSize: Qt.size(side * 2, side * 2)
    width: side
    height: side
    fillMode: Image.PreserveAspectFit
    Accessible.ignored: true
}

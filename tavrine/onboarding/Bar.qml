import QtQuick

// A placeholder line or block of the mock pages: a capsule of a fixed size.
Rectangle {
    property real barWidth: 0
    property real barHeight: 0
    implicitWidth: barWidth
    implicitHeight: barHeight
    width: barWidth
    height: barHeight
    radius: Math.min(width, height) / 2
}

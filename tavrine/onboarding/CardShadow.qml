import QtQuick
import Qt5Compat.GraphicalEffects

// The soft shadow under the landing page's card on the canvas.
DropShadow {
    color: Qt.rgba(0, 0, 0, 0.1)
    radius: 10
    samples: 21
    verticalOffset: 4
    transparentBorder: true
    // The card never changes: blur it once, not on every frame the pointer on the canvas moves.
    cached: true
}

import QtQuick
import Tavrine.Ui

// The soft shadow under the landing page's card on the canvas, laid under the card (anchored to fill it).
Shadow {
    cornerRadius: 4
    color: Qt.rgba(0, 0, 0, 0.1)
    blurRadius: 10
    verticalOffset: 4
}

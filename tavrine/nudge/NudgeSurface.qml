import QtQuick
import Tavrine.Ui

// The card's frosted surface: the card tint in a rounded rectangle over the compositor's blur of what lies
// behind the window; the opaque window colour without a compositor.
Rectangle {
    property bool translucent: true
    radius: 22
    antialiasing: true
    color: translucent ? Frosted.cardFill : Frosted.windowColor

    BehindWindowBlur {}
}

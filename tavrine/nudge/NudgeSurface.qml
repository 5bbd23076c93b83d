import QtQuick
import Tavrine.Ui

// The card's frosted surface: the card tint in a rounded rectangle over the compositor's blur of what lies
// behind the window. As the frosted windows, it is translucent only where the desktop blurs behind it: a
// compositor that only composites (xcompmgr, or blur switched off) would run the text of the window behind
// through the card's. `translucent` says whether the panel can be translucent at all (a compositor runs).
Rectangle {
    objectName: "nudgeSurface"
    property bool translucent: true
    radius: 22
    antialiasing: true
    color: {
        Frosted.cardFill // read for its change signal: the fill follows the palette too
        return Frosted.cardFillFor(translucent && Frosted.translucent)
    }

    BehindWindowBlur {}
}

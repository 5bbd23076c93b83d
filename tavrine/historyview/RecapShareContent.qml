import QtQuick
import Tavrine.HistoryView

// The share image's content: the upright card on a margin of ink, at the given scale.
Rectangle {
    id: root
    required property RecapCardModel card
    property real unit: 3
    color: SessionColors.recapInk
    width: recapCard.width + 64 * unit
    height: recapCard.height + 64 * unit
    SessionRecapCard {
        id: recapCard
        x: 32 * root.unit
        y: 32 * root.unit
        unit: root.unit
        card: root.card
    }
}

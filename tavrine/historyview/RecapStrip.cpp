#include "tavrine/historyview/RecapStrip.h"

#include "tavrine/historyview/RecapText.h"
#include "tavrine/historyview/SessionColors.h"

#include <QPainter>
#include <QPainterPath>

namespace tavrine {

RecapStrip::RecapStrip(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

void RecapStrip::setCard(RecapCardModel* card) {
    if (card == m_card)
        return;
    if (m_card)
        disconnect(m_card, nullptr, this, nullptr);
    m_card = card;
    if (m_card)
        connect(m_card, &RecapCardModel::summaryChanged, this, [this] { update(); });
    update();
    emit cardChanged();
}

void RecapStrip::paint(QPainter* painter) {
    const double w = width();
    const double h = height();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(0, 0, w, h), h / 2, h / 2);
    painter->setClipPath(capsule);
    QColor track = SessionColors::recapInk();
    track.setAlphaF(0.12f);
    painter->fillRect(QRectF(0, 0, w, h), track);
    if (!m_card)
        return;
    // The bars are computed in the strip's own units, whatever scale the card is drawn at.
    for (const RecapStripBar& bar : recapStripBars(m_card->summary().timeline, w)) {
        const QColor color =
            bar.kind == SessionTimeline::Kind::Detour ? SessionColors::detourColor() : SessionColors::recapInk();
        painter->fillRect(QRectF(bar.x, 0, bar.width, h), color);
    }
}

} // namespace tavrine

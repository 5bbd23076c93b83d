#include "tavrine/nudge/NudgeVoiceGlow.h"

#include "tavrine/core/Observable.h"
#include "tavrine/nudge/GlowBlobs.h"
#include "tavrine/speech/NudgeVoiceMeter.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace tavrine::nudge {

NudgeVoiceGlow::NudgeVoiceGlow(QQuickItem* parent) : QQuickPaintedItem(parent) {
    connect(&m_timer, &QTimer::timeout, this, [this] { update(); });
    setAcceptedMouseButtons(Qt::NoButton);
    setAcceptHoverEvents(false);
}

void NudgeVoiceGlow::setMeter(NudgeVoiceMeter* meter) {
    if (m_meter == meter)
        return;
    if (m_meter)
        disconnect(m_meter, nullptr, this, nullptr);
    m_meter = meter;
    if (meter) {
        // The end of the voice stops the frames; one more draws the glow at rest.
        connect(meter, &NudgeVoiceMeter::isPlayingChanged, this, [this] {
            updateTimer();
            update();
        });
    }
    updateTimer();
    update();
    emit meterChanged();
}

void NudgeVoiceGlow::setReduceMotion(bool reduce) {
    if (!assignIfChanged(m_reduceMotion, reduce))
        return;
    updateTimer();
    update();
    emit reduceMotionChanged();
}

void NudgeVoiceGlow::itemChange(ItemChange change, const ItemChangeData& value) {
    QQuickPaintedItem::itemChange(change, value);
    if (change == ItemVisibleHasChanged || change == ItemSceneChange)
        updateTimer();
}

void NudgeVoiceGlow::updateTimer() {
    if (m_timer.setRunning(isVisible() && window() && !m_reduceMotion && m_meter && m_meter->isPlaying()))
        emit animatingChanged();
}

void NudgeVoiceGlow::setCornerRadius(double radius) {
    if (!assignIfChanged(m_cornerRadius, radius))
        return;
    update();
    emit cornerRadiusChanged();
}

double NudgeVoiceGlow::level() const {
    if (!m_meter || !m_meter->source())
        return 0;
    return glowLevel(m_meter->source()());
}

void NudgeVoiceGlow::paint(QPainter* painter) {
    if (m_reduceMotion)
        m_heldTime = 0;
    else if (m_timer.isActive())
        m_heldTime = FrameTime::now();
    paintFrame(painter, width(), height(), m_heldTime, level(), m_cornerRadius);
}

void NudgeVoiceGlow::paintFrame(QPainter* painter, double w, double h, double t, double level, double cornerRadius) {
    const GlowFrame frame = glowBlobs(w, h, t, level);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setClipRect(QRectF(0, h / 2, w, h / 2));
    if (cornerRadius > 0) {
        QPainterPath card;
        card.addRoundedRect(QRectF(0, 0, w, h), cornerRadius, cornerRadius);
        painter->setClipPath(card, Qt::IntersectClip);
    }
    auto drawLayer = [&](const QList<GlowBlob>& blobs) {
        for (const auto& blob : blobs) {
            painter->save();
            painter->translate(blob.centerX, h);
            painter->scale(1, blob.height / blob.radius);
            QColor color = glowPalette()[blob.color];
            QRadialGradient gradient(QPointF(0, 0), blob.radius);
            for (size_t i = 0; i < kGlowStopOpacities.size(); ++i) {
                color.setAlphaF(float(kGlowStopOpacities[i]));
                gradient.setColorAt(double(i) / (kGlowStopOpacities.size() - 1), color);
            }
            painter->setBrush(gradient);
            painter->drawEllipse(QRectF(-blob.radius, -blob.radius, 2 * blob.radius, 2 * blob.radius));
            painter->restore();
        }
    };
    drawLayer(frame.base);
    if (!frame.inner.isEmpty()) {
        painter->setOpacity(frame.innerOpacity);
        drawLayer(frame.inner);
    }
    painter->restore();
}

} // namespace tavrine::nudge

#pragma once

#include "tavrine/nudge/FrameTime.h"

#include <QPointer>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace tavrine {
class NudgeVoiceMeter;
}

namespace tavrine::nudge {

// Soft coloured lights rising from the bottom edge that sway slowly and grow with the voice's loudness. Draws
// at most 30 frames a second while it is visible and the voice plays; once the voice has ended it stands still
// where it was, at rest, and draws again only when something about it changes. It stands still throughout when
// the user asked for less motion. The host shows it only while the meter is voiced.
class NudgeVoiceGlow : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(tavrine::NudgeVoiceMeter* meter READ meter WRITE setMeter NOTIFY meterChanged)
    Q_PROPERTY(bool reduceMotion READ reduceMotion WRITE setReduceMotion NOTIFY reduceMotionChanged)
    Q_PROPERTY(bool animating READ animating NOTIFY animatingChanged)
    // The card's corner radius: the glow stays inside the rounded card.
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY cornerRadiusChanged)
public:
    explicit NudgeVoiceGlow(QQuickItem* parent = nullptr);

    NudgeVoiceMeter* meter() const { return m_meter; }
    void setMeter(NudgeVoiceMeter* meter);
    bool reduceMotion() const { return m_reduceMotion; }
    void setReduceMotion(bool reduce);
    bool animating() const { return m_timer.isActive(); }
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);

    // The meter's loudness now, 0 when it has no voice.
    double level() const;
    void paint(QPainter* painter) override;
    // Draws one frame of a w × h glow; the benchmark and the item share it.
    static void paintFrame(QPainter* painter, double w, double h, double t, double level, double cornerRadius = 0);

signals:
    void meterChanged();
    void reduceMotionChanged();
    void animatingChanged();
    void cornerRadiusChanged();

protected:
    void itemChange(ItemChange change, const ItemChangeData& value) override;

private:
    void updateTimer();

    QPointer<NudgeVoiceMeter> m_meter;
    bool m_reduceMotion = false;
    double m_cornerRadius = 0;
    // The sway's time of the last frame drawn while moving: a still glow is drawn as it was left.
    double m_heldTime = 0;
    FrameTimer m_timer{1000 / 30 + 1};
};

} // namespace tavrine::nudge

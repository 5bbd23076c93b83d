#pragma once

#include "tavrine/nudge/FrameTime.h"
#include "tavrine/nudge/SpokenWords.h"

#include <QGlyphRun>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace tavrine {
class NudgeVoiceMeter;
}

namespace tavrine::nudge {

// The nudge sentence, drawn word by word: whole, revealed in step with the voice, or revealed on a clock. One
// text layout measures and draws it; each word fades in, drops into place and sharpens as it arrives. The item
// is the text plus 8 pixels on every side, so that the dropping and blurred words are never cut.
class SpokenSentenceItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(int pixelSize READ pixelSize WRITE setPixelSize NOTIFY pixelSizeChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(Mode mode READ mode WRITE setMode NOTIFY modeChanged)
    Q_PROPERTY(tavrine::NudgeVoiceMeter* meter READ meter WRITE setMeter NOTIFY meterChanged)
    // Timed mode: the session-clock second the reveal starts at.
    Q_PROPERTY(double revealedAt READ revealedAt WRITE setRevealedAt NOTIFY revealedAtChanged)
    Q_PROPERTY(bool reduceMotion READ reduceMotion WRITE setReduceMotion NOTIFY reduceMotionChanged)
    // The width the text wraps at; the item is 16 pixels wider.
    Q_PROPERTY(double textWidth READ textWidth WRITE setTextWidth NOTIFY textWidthChanged)
    // Whether frames are being drawn for a reveal in progress.
    Q_PROPERTY(bool animating READ animating NOTIFY animatingChanged)
public:
    enum class Mode { Whole, Spoken, Timed };
    Q_ENUM(Mode)
    static constexpr double kPadding = 8;

    explicit SpokenSentenceItem(QQuickItem* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    int pixelSize() const { return m_pixelSize; }
    void setPixelSize(int size);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    Mode mode() const { return m_mode; }
    void setMode(Mode mode);
    NudgeVoiceMeter* meter() const { return m_meter; }
    void setMeter(NudgeVoiceMeter* meter);
    double revealedAt() const { return m_revealedAt; }
    void setRevealedAt(double at);
    bool reduceMotion() const { return m_reduceMotion; }
    void setReduceMotion(bool reduce);
    double textWidth() const { return m_textWidth; }
    void setTextWidth(double width);
    bool animating() const { return m_timer.isActive(); }

    // What the current frame draws: no progress means the whole sentence.
    std::optional<SpeechWordProgress> frameProgress() const;
    void paint(QPainter* painter) override;

signals:
    void textChanged();
    void pixelSizeChanged();
    void colorChanged();
    void modeChanged();
    void meterChanged();
    void revealedAtChanged();
    void reduceMotionChanged();
    void textWidthChanged();
    void animatingChanged();

private:
    struct Word {
        int start = 0;
        QList<QGlyphRun> runs;
        QRectF bounds;
    };
    void relayout();
    void updateTimer();
    void onFrame();
    void paintWord(QPainter* painter, const Word& word, const WordReveal& reveal) const;

    QString m_text;
    int m_pixelSize = 24;
    QColor m_color = Qt::black;
    Mode m_mode = Mode::Whole;
    QPointer<NudgeVoiceMeter> m_meter;
    double m_revealedAt = 0;
    bool m_reduceMotion = false;
    double m_textWidth = 396;
    bool m_arrived = false;

    QList<Word> m_words;
    int m_total = 0;
    FrameTimer m_timer;
};

} // namespace tavrine::nudge

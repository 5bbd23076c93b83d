#include "tavrine/nudge/SpokenSentenceItem.h"

#include "tavrine/core/Observable.h"
#include "tavrine/nudge/BoxBlur.h"
#include "tavrine/nudge/NudgeCardRules.h"
#include "tavrine/speech/NudgeVoiceMeter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

namespace tavrine::nudge {

SpokenSentenceItem::SpokenSentenceItem(QQuickItem* parent) : QQuickPaintedItem(parent) {
    connect(&m_timer, &QTimer::timeout, this, &SpokenSentenceItem::onFrame);
    relayout();
}

void SpokenSentenceItem::setText(const QString& text) {
    if (!assignIfChanged(m_text, text))
        return;
    relayout();
    emit textChanged();
}

void SpokenSentenceItem::setPixelSize(int size) {
    if (!assignIfChanged(m_pixelSize, size))
        return;
    relayout();
    emit pixelSizeChanged();
}

void SpokenSentenceItem::setColor(const QColor& color) {
    if (!assignIfChanged(m_color, color))
        return;
    update();
    emit colorChanged();
}

void SpokenSentenceItem::setMode(Mode mode) {
    if (!assignIfChanged(m_mode, mode))
        return;
    updateTimer();
    update();
    emit modeChanged();
}

void SpokenSentenceItem::setMeter(NudgeVoiceMeter* meter) {
    if (m_meter == meter)
        return;
    if (m_meter)
        disconnect(m_meter, nullptr, this, nullptr);
    m_meter = meter;
    if (meter) {
        // When the voice stops its word source is gone, and one more frame draws the sentence whole.
        connect(meter, &NudgeVoiceMeter::isPlayingChanged, this, [this] {
            updateTimer();
            update();
        });
    }
    updateTimer();
    update();
    emit meterChanged();
}

void SpokenSentenceItem::setRevealedAt(double at) {
    if (!assignIfChanged(m_revealedAt, at))
        return;
    m_arrived = false;
    updateTimer();
    update();
    emit revealedAtChanged();
}

void SpokenSentenceItem::setReduceMotion(bool reduce) {
    if (!assignIfChanged(m_reduceMotion, reduce))
        return;
    update();
    emit reduceMotionChanged();
}

void SpokenSentenceItem::setTextWidth(double width) {
    if (!assignIfChanged(m_textWidth, width))
        return;
    relayout();
    emit textWidthChanged();
}

void SpokenSentenceItem::relayout() {
    const auto pieces = spokenWordPieces(m_text);
    m_total = spokenWordTotal(pieces);
    QTextLayout layout(m_text, reasonFont(m_pixelSize));
    const double height = layOutSentence(layout, m_textWidth);
    m_words.clear();
    int from = 0;
    for (const auto& piece : pieces) {
        Word word;
        word.start = piece.start;
        word.runs = layout.glyphRuns(from, int(piece.text.size()));
        for (const auto& run : word.runs)
            word.bounds |= run.boundingRect();
        m_words.append(word);
        from += int(piece.text.size());
    }
    setImplicitSize(m_textWidth + 2 * kPadding, std::ceil(height) + 2 * kPadding);
    update();
}

std::optional<SpeechWordProgress> SpokenSentenceItem::frameProgress() const {
    switch (m_mode) {
    case Mode::Whole:
        return std::nullopt;
    case Mode::Spoken:
        if (!m_meter || !m_meter->words())
            return std::nullopt;
        return m_meter->words()();
    case Mode::Timed:
        if (m_arrived)
            return std::nullopt;
        return timedRevealProgress(m_total, FrameTime::now() - m_revealedAt);
    }
    return std::nullopt;
}

void SpokenSentenceItem::updateTimer() {
    const bool run = (m_mode == Mode::Spoken && m_meter && m_meter->isPlaying()) ||
                     (m_mode == Mode::Timed && !m_arrived);
    if (m_timer.setRunning(run))
        emit animatingChanged();
}

void SpokenSentenceItem::onFrame() {
    if (m_mode == Mode::Timed && !m_arrived &&
        FrameTime::now() >= m_revealedAt + timedRevealDuration(m_total) + kWordFadeSeconds) {
        m_arrived = true;
        updateTimer();
    }
    update();
}

void SpokenSentenceItem::paint(QPainter* painter) {
    painter->setPen(m_color);
    painter->setRenderHint(QPainter::Antialiasing);
    const auto progress = frameProgress();
    const QPointF origin(kPadding, kPadding);
    for (const auto& word : m_words) {
        const auto reveal = spokenWordReveal(progress, word.start, m_total);
        if (reveal.kind == WordReveal::Kind::Hidden)
            continue;
        if (reveal.kind == WordReveal::Kind::Whole) {
            for (const auto& run : word.runs)
                painter->drawGlyphRun(origin, run);
            continue;
        }
        paintWord(painter, word, reveal);
    }
}

void SpokenSentenceItem::paintWord(QPainter* painter, const Word& word, const WordReveal& reveal) const {
    painter->save();
    painter->setOpacity(reveal.e);
    const QPointF origin(kPadding, kPadding + (m_reduceMotion ? 0.0 : reveal.drop()));
    const double blur = m_reduceMotion ? 0.0 : reveal.blur();
    if (blur < 0.5 || word.bounds.isEmpty()) {
        for (const auto& run : word.runs)
            painter->drawGlyphRun(origin, run);
        painter->restore();
        return;
    }
    // Only a word in transition pays for a blurred image of itself.
    const int margin = int(std::ceil(blur * 2));
    const QRect box = word.bounds.toAlignedRect().adjusted(-margin, -margin, margin, margin);
    QImage image(box.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setPen(m_color);
        p.setRenderHint(QPainter::Antialiasing);
        for (const auto& run : word.runs)
            p.drawGlyphRun(-QPointF(box.topLeft()), run);
    }
    boxBlur(image, blur);
    painter->drawImage(origin + QPointF(box.topLeft()), image);
    painter->restore();
}

} // namespace tavrine::nudge

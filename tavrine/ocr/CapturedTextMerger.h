#pragma once

#include "tavrine/ocr/TextRecognition.h"

#include <QSet>
#include <QStringList>

namespace tavrine {

// The merge of recognised lines into a base text, one candidate line at a time, so that recognition can stop
// as soon as the merge would stop.
class CapturedTextMerger {
public:
    CapturedTextMerger(QString base, qsizetype budget);

    // Offers one cleaned candidate line. Answers false once the merge has stopped (this line did not fit, or an
    // earlier one did not): no later line can be added.
    bool offer(const QString& line);
    bool isStopped() const { return m_stopped; }
    MergedText result() const;

private:
    QString m_base;
    QSet<QString> m_seen;
    qsizetype m_budget;
    qsizetype m_baseCost;
    qsizetype m_added = 0;
    QStringList m_lines;
    bool m_stopped = false;
};

// The capped, top-to-bottom text of recognised lines, one line at a time.
class RecognizedTextBuilder {
public:
    // Offers one recognised line (whitespace collapsed). Blank lines are skipped. Answers false once the text
    // is full: this line did not fit, or an earlier one did not.
    bool offer(const QString& line);
    bool isFull() const { return m_full; }
    const QString& text() const { return m_text; }

private:
    QString m_text;
    qsizetype m_length = 0;
    bool m_full = false;
};

} // namespace tavrine

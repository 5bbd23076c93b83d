#include "tavrine/ocr/CapturedTextMerger.h"

#include "tavrine/core/Text.h"

namespace tavrine {

CapturedTextMerger::CapturedTextMerger(QString base, qsizetype budget)
    : m_base(std::move(base)), m_budget(budget), m_baseCost(m_base.isEmpty() ? 0 : text::graphemeCount(m_base) + 1) {
    const QString cleaned = dropNoiseLines(m_base);
    if (!cleaned.isEmpty()) {
        const QStringList lines = cleaned.split(QLatin1Char('\n'));
        m_seen = QSet<QString>(lines.begin(), lines.end());
    }
}

bool CapturedTextMerger::offer(const QString& line) {
    if (m_stopped)
        return false;
    if (line.isEmpty() || line == m_base || m_seen.contains(line))
        return true;
    const qsizetype cost = text::graphemeCount(line) + (m_lines.isEmpty() ? 0 : 1);
    if (m_baseCost + m_added + cost > m_budget) {
        m_stopped = true;
        return false;
    }
    m_lines.append(line);
    m_added += cost;
    return true;
}

MergedText CapturedTextMerger::result() const {
    if (m_lines.isEmpty())
        return {m_base, 0};
    QString merged = m_base;
    if (!merged.isEmpty())
        merged += QLatin1Char('\n');
    merged += m_lines.join(QLatin1Char('\n'));
    return {merged, m_added};
}

bool RecognizedTextBuilder::offer(const QString& line) {
    if (m_full)
        return false;
    if (line.isEmpty())
        return true;
    const qsizetype length = text::graphemeCount(line);
    // The line feed is counted even before the first line, so a first line of the full limit does not fit.
    if (m_length + length + 1 > recognizedTextLimit) {
        m_full = true;
        return false;
    }
    if (!m_text.isEmpty()) {
        m_text += QLatin1Char('\n');
        m_length += 1;
    }
    m_text += line;
    m_length += length;
    return true;
}

} // namespace tavrine

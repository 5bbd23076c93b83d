#include "tavrine/historyview/TimelineModel.h"

#include "tavrine/core/Numbers.h"
#include "tavrine/history/SessionActivityLog.h"
#include "tavrine/history/SessionSegmentClues.h"
#include "tavrine/historyview/SessionColors.h"

#include <QVariantMap>

namespace tavrine {

TimelineModel::TimelineModel(QObject* parent) : QAbstractListModel(parent) {}

void TimelineModel::setTimeline(const SessionTimeline& timeline, const QDateTime& startedAt) {
    if (timeline == m_timeline && startedAt == m_startedAt)
        return;
    const bool activityBefore = hasActivity();
    m_timeline = timeline;
    m_startedAt = startedAt;
    relayout(true);
    if (activityBefore != hasActivity())
        emit timelineChanged();
}

void TimelineModel::setLocale(const QLocale& locale) {
    m_locale = locale;
    relayout(false);
}

void TimelineModel::setHeight(double height) {
    height = finiteOrZero(height);
    if (qFuzzyCompare(height + 1.0, m_height + 1.0))
        return;
    m_height = height;
    relayout(false);
}

void TimelineModel::setSelection(int selection) {
    if (selection < 0)
        selection = -1;
    if (selection == m_selection)
        return;
    m_selection = selection;
    relayout(false);
}

void TimelineModel::setExpandsSelection(bool on) {
    if (on == m_expandsSelection)
        return;
    m_expandsSelection = on;
    relayout(false);
}

void TimelineModel::setShowsCluesOverTimeline(bool on) {
    if (on == m_showsClues)
        return;
    m_showsClues = on;
    emit geometryChanged();
}

void TimelineModel::relayout(bool reset) {
    if (reset)
        beginResetModel();
    m_layout = layoutTimeline(m_timeline, m_height);
    const std::optional<qint64> selection = m_selection >= 0 ? std::optional<qint64>(m_selection) : std::nullopt;
    m_expansion = selectionExpansion(m_layout.blocks, selection, m_expandsSelection);
    m_selectedBlock = -1;
    for (qsizetype i = 0; i < m_timeline.segments.size(); ++i) {
        const SessionTimeline::Segment& segment = m_timeline.segments[i];
        if (selection && segment.id == *selection && segment.kind != SessionTimeline::Kind::Gap) {
            m_selectedBlock = int(i);
            break;
        }
    }
    if (reset)
        endResetModel();
    else if (!m_layout.blocks.isEmpty())
        emit dataChanged(index(0), index(int(m_layout.blocks.size()) - 1));
    emit geometryChanged();
}

QVariantList TimelineModel::ticks() const {
    QVariantList list;
    for (const TimelineTick& tick :
         timelineTicks(m_layout.blocks, m_layout.height, m_timeline.length, m_startedAt, m_locale)) {
        // Ticks below the unfolded block move down with it.
        const double y = m_expansion.extra > 0 && tick.y >= m_expansion.bottom ? tick.y + m_expansion.extra : tick.y;
        list.append(QVariantMap{{QStringLiteral("y"), y}, {QStringLiteral("label"), tick.label}});
    }
    return list;
}

double TimelineModel::selectedTop() const {
    return m_selectedBlock < 0 ? 0.0 : m_layout.blocks[m_selectedBlock].y;
}

double TimelineModel::selectedBottom() const {
    if (m_selectedBlock < 0)
        return 0.0;
    const SessionTimelineLayout::Block& block = m_layout.blocks[m_selectedBlock];
    return block.y + block.height + m_expansion.extra;
}

bool TimelineModel::cluesAtTop() const {
    if (m_selectedBlock < 0)
        return false;
    const SessionTimelineLayout::Block& block = m_layout.blocks[m_selectedBlock];
    return block.y + block.height / 2 > m_layout.height / 2;
}

QString TimelineModel::cluesLabel() const {
    return m_selectedBlock < 0 ? QString() : segmentLabel(m_timeline.segments[m_selectedBlock]);
}

QString TimelineModel::cluesTime() const {
    if (m_selectedBlock < 0)
        return {};
    return SessionSegmentClues(m_timeline.segments[m_selectedBlock], m_startedAt, titleLimit, m_locale).timeText();
}

QVariantList TimelineModel::cluesRows() const {
    QVariantList list;
    if (m_selectedBlock < 0)
        return list;
    const SessionSegmentClues clues(m_timeline.segments[m_selectedBlock], m_startedAt, titleLimit, m_locale);
    for (const SessionSegmentClues::Row& row : clues.rows())
        list.append(QVariantMap{{QStringLiteral("caption"), row.caption}, {QStringLiteral("values"), row.values}});
    return list;
}

QColor TimelineModel::cluesColor() const {
    return m_selectedBlock < 0 ? QColor() : SessionColors::kindColor(m_timeline.segments[m_selectedBlock].kind);
}

int TimelineModel::requestedSelection(int segmentId) const {
    for (const SessionTimeline::Segment& segment : m_timeline.segments) {
        if (segment.id != segmentId)
            continue;
        if (segment.kind == SessionTimeline::Kind::Gap)
            return m_selection;
        return segmentId == m_selection ? -1 : segmentId;
    }
    return m_selection;
}

QString TimelineModel::segmentAccessibilityLabel(const SessionTimeline::Segment& segment) const {
    QString kind = QStringLiteral(", ");
    if (segment.kind == SessionTimeline::Kind::Related)
        kind = tr(", on track, ");
    else if (segment.kind == SessionTimeline::Kind::Detour)
        kind = tr(", detour, ");
    const QDateTime at = m_startedAt.addMSecs(roundedNumber(segment.start * 1000.0));
    return segmentLabel(segment) + QStringLiteral(", ") + SessionActivityLog::formatDuration(segment.end - segment.start) +
           kind + clockText(at, m_locale);
}

int TimelineModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_layout.blocks.size());
}

QVariant TimelineModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_layout.blocks.size())
        return {};
    const SessionTimelineLayout::Block& block = m_layout.blocks[index.row()];
    const SessionTimeline::Segment& segment = block.segment;
    const bool selected = index.row() == m_selectedBlock;
    switch (role) {
    case SegmentIdRole:
        return int(segment.id);
    case IsGapRole:
        return segment.kind == SessionTimeline::Kind::Gap;
    case BlockYRole:
        return block.y + (m_expansion.extra > 0 && block.y >= m_expansion.bottom ? m_expansion.extra : 0.0);
    case BlockHeightRole:
        return block.height + (selected ? m_expansion.extra : 0.0);
    case LayoutHeightRole:
        return block.height;
    case LabelRole:
        return segmentLabel(segment);
    case DurationRole:
        return SessionActivityLog::formatDuration(segment.end - segment.start);
    case ColorRole:
        return SessionColors::kindColor(segment.kind);
    case SelectedRole:
        return selected;
    case DetailsRole: {
        QVariantList details;
        if (selected && m_expandsSelection)
            for (const SessionTimeline::Segment::Detail& detail : segmentDetails(segment))
                details.append(QVariantMap{{QStringLiteral("label"), detail.label}, {QStringLiteral("value"), detail.value}});
        return details;
    }
    case AccessibilityLabelRole:
        return segment.kind == SessionTimeline::Kind::Gap ? QString() : segmentAccessibilityLabel(segment);
    default:
        return {};
    }
}

QHash<int, QByteArray> TimelineModel::roleNames() const {
    return {
        {SegmentIdRole, "segmentId"},
        {IsGapRole, "isGap"},
        {BlockYRole, "blockY"},
        {BlockHeightRole, "blockHeight"},
        {LayoutHeightRole, "layoutHeight"},
        {LabelRole, "label"},
        {DurationRole, "duration"},
        {ColorRole, "kindColor"},
        {SelectedRole, "selected"},
        {DetailsRole, "details"},
        {AccessibilityLabelRole, "accessibilityLabel"},
    };
}

} // namespace tavrine

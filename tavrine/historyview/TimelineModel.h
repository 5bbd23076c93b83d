#pragma once

#include "tavrine/history/SessionTimeline.h"
#include "tavrine/history/SessionTimelineLayout.h"

#include <QAbstractListModel>
#include <QColor>
#include <QDateTime>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tavrine {

// Everything SessionTimelineView.qml draws of one timeline: a row per block (gaps included) with its geometry,
// texts and state, the ruler's ticks, and the clues card of the selected segment. The selection belongs to the
// caller: the view copies it in through `selection` and asks for changes with the id `requestedSelection`
// gives; this model never changes it by itself.
class TimelineModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double height READ height WRITE setHeight NOTIFY geometryChanged)
    Q_PROPERTY(int selection READ selection WRITE setSelection NOTIFY geometryChanged)
    Q_PROPERTY(bool expandsSelection READ expandsSelection WRITE setExpandsSelection NOTIFY geometryChanged)
    Q_PROPERTY(bool showsCluesOverTimeline READ showsCluesOverTimeline WRITE setShowsCluesOverTimeline NOTIFY
                   geometryChanged)
    Q_PROPERTY(double contentHeight READ contentHeight NOTIFY geometryChanged)
    Q_PROPERTY(QVariantList ticks READ ticks NOTIFY geometryChanged)
    Q_PROPERTY(bool hasActivity READ hasActivity NOTIFY timelineChanged)
    Q_PROPERTY(bool cluesVisible READ cluesVisible NOTIFY geometryChanged)
    Q_PROPERTY(bool cluesAtTop READ cluesAtTop NOTIFY geometryChanged)
    Q_PROPERTY(QString cluesLabel READ cluesLabel NOTIFY geometryChanged)
    Q_PROPERTY(QString cluesTime READ cluesTime NOTIFY geometryChanged)
    Q_PROPERTY(QVariantList cluesRows READ cluesRows NOTIFY geometryChanged)
    Q_PROPERTY(QColor cluesColor READ cluesColor NOTIFY geometryChanged)
    Q_PROPERTY(int selectedBlock READ selectedBlock NOTIFY geometryChanged)
    Q_PROPERTY(double selectedTop READ selectedTop NOTIFY geometryChanged)
    Q_PROPERTY(double selectedBottom READ selectedBottom NOTIFY geometryChanged)

public:
    enum Role {
        SegmentIdRole = Qt::UserRole + 1,
        IsGapRole,
        BlockYRole,
        BlockHeightRole, // with the selected block's expansion
        LayoutHeightRole, // without it
        LabelRole,
        DurationRole,
        ColorRole,
        SelectedRole,
        DetailsRole,
        AccessibilityLabelRole,
    };
    Q_ENUM(Role)

    static constexpr int titleLimit = 3;

    explicit TimelineModel(QObject* parent = nullptr);

    void setTimeline(const SessionTimeline& timeline, const QDateTime& startedAt);
    const SessionTimeline& timeline() const { return m_timeline; }
    QDateTime startedAt() const { return m_startedAt; }
    void setLocale(const QLocale& locale);

    double height() const { return m_height; }
    void setHeight(double height);
    int selection() const { return m_selection; }
    void setSelection(int selection);
    bool expandsSelection() const { return m_expandsSelection; }
    void setExpandsSelection(bool on);
    bool showsCluesOverTimeline() const { return m_showsClues; }
    void setShowsCluesOverTimeline(bool on);

    double contentHeight() const { return m_layout.height + m_expansion.extra; }
    QVariantList ticks() const;
    bool hasActivity() const { return timelineHasActivity(m_timeline); }
    // The row of the selected segment (never a gap), or -1.
    int selectedBlock() const { return m_selectedBlock; }
    // The selected block's edges in the content, its unfolding included (0 without a selected block).
    double selectedTop() const;
    double selectedBottom() const;
    bool cluesVisible() const { return m_showsClues && m_selectedBlock >= 0; }
    // The card sits in the half away from the selected block.
    bool cluesAtTop() const;
    QString cluesLabel() const;
    QString cluesTime() const;
    QVariantList cluesRows() const;
    QColor cluesColor() const;

    // What a tap on the block of `segmentId` asks the caller for: -1 when it is the selection (a second tap
    // clears), the id otherwise; a gap asks for nothing and answers the current selection.
    Q_INVOKABLE int requestedSelection(int segmentId) const;
    // "Read the docs, 12m, on track, 9:41": label, duration, kind and start time.
    QString segmentAccessibilityLabel(const SessionTimeline::Segment& segment) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void geometryChanged();
    void timelineChanged();

private:
    void relayout(bool reset);

    SessionTimeline m_timeline;
    QDateTime m_startedAt;
    QLocale m_locale;
    double m_height = 0;
    int m_selection = -1;
    bool m_expandsSelection = false;
    bool m_showsClues = false;
    SessionTimelineLayout m_layout;
    SelectionExpansion m_expansion;
    int m_selectedBlock = -1;
};

} // namespace tavrine

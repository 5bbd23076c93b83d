#include "tavrine/historyview/TimelineModel.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tavrine;
using Kind = SessionTimeline::Kind;

namespace {

SessionTimeline::Segment segment(Kind kind, double start, double end, QString phrase, QString app = {},
                                 QString host = {}) {
    SessionTimeline::Segment s;
    s.kind = kind;
    s.start = start;
    s.end = end;
    s.phrase = std::move(phrase);
    s.clues.app = std::move(app);
    s.clues.host = std::move(host);
    s.clues.titles = {QStringLiteral("Front page"), QStringLiteral("Two"), QStringLiteral("Three"),
                      QStringLiteral("Four")};
    return s;
}

// Related work 0–600, a gap 600–900, a detour 900–1200, related work 1200–3000.
SessionTimeline sample() {
    return normaliseTimeline(
        {segment(Kind::Related, 0, 600, QStringLiteral("Wrote the intro"), QStringLiteral("Writer")),
         segment(Kind::Detour, 900, 1200, QStringLiteral("Read the news"), QStringLiteral("Browser"),
                 QStringLiteral("news.example")),
         segment(Kind::Related, 1200, 3000, QStringLiteral("Wrote the body"))},
        3000);
}

const QDateTime start(QDate(2024, 3, 5), QTime(9, 0), Qt::LocalTime);

struct Model {
    Model() {
        model.setLocale(QLocale(QLocale::German, QLocale::Germany));
        model.setTimeline(sample(), start);
        model.setHeight(300);
    }
    QVariant at(int row, TimelineModel::Role role) const { return model.data(model.index(row), role); }
    TimelineModel model;
};

} // namespace

TEST(TimelineModel, BlocksTileTheColumnWithGapsAndKindColours) {
    Model m;
    ASSERT_EQ(m.model.rowCount(), 4);
    EXPECT_TRUE(m.at(1, TimelineModel::IsGapRole).toBool());
    EXPECT_TRUE(m.at(1, TimelineModel::AccessibilityLabelRole).toString().isEmpty());
    EXPECT_EQ(m.at(0, TimelineModel::AccessibilityLabelRole).toString(),
              QStringLiteral("Wrote the intro, 10m, on track, 09:00"));
    EXPECT_EQ(m.at(2, TimelineModel::AccessibilityLabelRole).toString(),
              QStringLiteral("Read the news, 5m, detour, 09:15"));
    EXPECT_DOUBLE_EQ(m.model.contentHeight(), 300);
    double y = 0;
    for (int row = 0; row < 4; ++row) {
        EXPECT_DOUBLE_EQ(m.at(row, TimelineModel::BlockYRole).toDouble(), y);
        y += m.at(row, TimelineModel::BlockHeightRole).toDouble();
    }
    EXPECT_DOUBLE_EQ(y, 300);
}

TEST(TimelineModel, ATapTogglesAndAGapIsNeverSelected) {
    Model m;
    EXPECT_EQ(m.model.requestedSelection(2), 2);
    m.model.setSelection(2);
    EXPECT_EQ(m.model.requestedSelection(2), -1); // the second tap clears
    EXPECT_EQ(m.model.requestedSelection(0), 0);  // another block moves it in one step
    EXPECT_EQ(m.model.requestedSelection(1), 2);  // a gap asks for nothing
    EXPECT_EQ(m.model.requestedSelection(99), 2);

    m.model.setShowsCluesOverTimeline(true);
    m.model.setSelection(1); // a selection naming a gap selects nothing
    EXPECT_EQ(m.model.selectedBlock(), -1);
    EXPECT_FALSE(m.model.cluesVisible());
    EXPECT_FALSE(m.at(1, TimelineModel::SelectedRole).toBool());
}

TEST(TimelineModel, TheCluesCardSitsInTheHalfAwayFromTheSelection) {
    Model m;
    m.model.setShowsCluesOverTimeline(true);
    EXPECT_FALSE(m.model.cluesVisible());
    m.model.setSelection(0);
    EXPECT_TRUE(m.model.cluesVisible());
    EXPECT_FALSE(m.model.cluesAtTop()); // upper block: card at the bottom
    m.model.setSelection(3);
    EXPECT_TRUE(m.model.cluesAtTop());
    m.model.setSelection(2);
    EXPECT_EQ(m.model.cluesLabel(), QStringLiteral("Read the news"));
    EXPECT_EQ(m.model.cluesTime(), QStringLiteral("09:15\u201309:20 \u00B7 5m"));
    const QVariantList rows = m.model.cluesRows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[2].toMap().value(QStringLiteral("values")).toStringList().size(), 3); // the title limit
    m.model.setSelection(-1);
    EXPECT_FALSE(m.model.cluesVisible());
}

TEST(TimelineModel, UnfoldingGrowsOnlyWhenExpandingAndShiftsWhatLiesBelow) {
    Model m;
    m.model.setSelection(2);
    EXPECT_TRUE(m.at(2, TimelineModel::DetailsRole).toList().isEmpty()); // not unfolding: details hidden
    EXPECT_DOUBLE_EQ(m.model.contentHeight(), 300);
    const double belowBefore = m.at(3, TimelineModel::BlockYRole).toDouble();
    const QVariantList ticksBefore = m.model.ticks();

    QSignalSpy geometry(&m.model, &TimelineModel::geometryChanged);
    m.model.setExpandsSelection(true);
    EXPECT_EQ(geometry.size(), 1);
    const QVariantList details = m.at(2, TimelineModel::DetailsRole).toList();
    ASSERT_EQ(details.size(), 2);
    EXPECT_EQ(details[1].toMap().value(QStringLiteral("value")).toString(),
              QStringLiteral("news.example - Front page"));
    const double extra = m.model.contentHeight() - 300;
    EXPECT_GT(extra, 0);
    EXPECT_DOUBLE_EQ(m.at(2, TimelineModel::BlockHeightRole).toDouble(),
                     m.at(2, TimelineModel::LayoutHeightRole).toDouble() + extra);
    EXPECT_DOUBLE_EQ(m.at(3, TimelineModel::BlockYRole).toDouble(), belowBefore + extra);
    EXPECT_DOUBLE_EQ(m.model.selectedBottom(), belowBefore + extra);

    // Ticks above the unfolded block stay, those at or below it move down by the same amount.
    const QVariantList ticks = m.model.ticks();
    ASSERT_EQ(ticks.size(), ticksBefore.size());
    bool shifted = false;
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        const double before = ticksBefore[i].toMap().value(QStringLiteral("y")).toDouble();
        const double after = ticks[i].toMap().value(QStringLiteral("y")).toDouble();
        EXPECT_DOUBLE_EQ(after, before >= belowBefore ? before + extra : before);
        shifted = shifted || after != before;
    }
    EXPECT_TRUE(shifted);

    m.model.setSelection(2); // equal: silent
    EXPECT_EQ(geometry.size(), 1);
}

TEST(TimelineModel, ANewTimelineResetsTheRows) {
    Model m;
    QSignalSpy reset(&m.model, &QAbstractItemModel::modelReset);
    m.model.setTimeline(sample(), start);
    EXPECT_EQ(reset.size(), 0);
    m.model.setTimeline({}, start);
    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(m.model.rowCount(), 0);
    EXPECT_FALSE(m.model.hasActivity());
}

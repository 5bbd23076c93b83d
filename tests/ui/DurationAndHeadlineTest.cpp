#include "support/QmlTestSupport.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/ui/DurationModel.h"
#include "tavrine/ui/HeadlineRotation.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace tavrine::ui {
namespace {

const QString key = QStringLiteral("customMinutes");

// What another launch reads: a second store over the same file, which sees only what was written to disk.
struct TwoStores {
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("defaults.ini"));
    std::unique_ptr<SettingsUserDefaults> first = std::make_unique<SettingsUserDefaults>(path);
    std::unique_ptr<SettingsUserDefaults> reopened() const { return std::make_unique<SettingsUserDefaults>(path); }
};

TEST(DurationModel, StoredCustomLengthIsRangeCheckedOnRead) {
    struct Case {
        const char* name;
        std::optional<DefaultValue> stored;
        int custom;
    };
    const Case cases[] = {
        {"absent", std::nullopt, 60},
        {"zero", DefaultValue(qint64(0)), 5},
        {"negative", DefaultValue(qint64(-40)), 5},
        {"thousand", DefaultValue(qint64(1000)), 180},
        {"in range", DefaultValue(qint64(50)), 50},
        {"edge low", DefaultValue(qint64(5)), 5},
        {"edge high", DefaultValue(qint64(180)), 180},
        {"text", DefaultValue(QStringLiteral("50")), 60},
        {"double", DefaultValue(50.0), 60},
        {"bool", DefaultValue(true), 60},
    };
    for (const Case& c : cases) {
        TwoStores stores;
        if (c.stored)
            stores.first->setValue(key, *c.stored);
        const auto next = stores.reopened();
        DurationModel model(*next);
        EXPECT_EQ(model.custom(), c.custom) << c.name;
        EXPECT_EQ(model.customLabel(), QString::number(c.custom) + u'm') << c.name;
    }
}

TEST(DurationModel, StepsClampToTheRangeAndSelectTheCustomLength) {
    struct Case {
        int custom, minutes, delta;
        int customAfter, minutesAfter;
    };
    const Case cases[] = {
        {180, 30, +5, 180, 180}, {5, 30, -5, 5, 5},    {7, 30, -5, 5, 5},
        {60, 30, +5, 65, 65},    {60, 60, -5, 55, 55}, {178, 45, +5, 180, 180},
    };
    for (const Case& c : cases) {
        MemoryUserDefaults defaults;
        defaults.setInteger(key, c.custom);
        DurationModel model(defaults, c.minutes);
        model.stepBy(c.delta);
        EXPECT_EQ(model.custom(), c.customAfter) << c.custom << " " << c.delta;
        EXPECT_EQ(model.minutes(), c.minutesAfter) << c.custom << " " << c.delta;
        EXPECT_TRUE(model.isCustom() || DurationModel::isPreset(c.minutesAfter));
        EXPECT_EQ(defaults.integerValue(key), qint64(c.customAfter));
    }
}

TEST(DurationModel, AdoptsOnlyNonPresetMinutesWithinTheRange) {
    struct Case {
        int minutes;
        int customAfter;
        int segment; // the one the thumb lies behind
    };
    const Case cases[] = {{30, 60, 1},   {50, 50, 3},  {200, 60, 3}, {0, 60, 3},  {5, 5, 3},
                          {180, 180, 3}, {181, 60, 3}, {4, 60, 3},   {15, 60, 0}, {45, 60, 2}};
    for (const Case& c : cases) {
        MemoryUserDefaults defaults;
        DurationModel model(defaults, c.minutes);
        model.adoptSessionMinutes();
        EXPECT_EQ(model.custom(), c.customAfter) << c.minutes;
        EXPECT_EQ(model.minutes(), c.minutes) << "adopting never moves the planned length";
        EXPECT_EQ(model.isCustom(), !DurationModel::isPreset(c.minutes));
        EXPECT_EQ(model.selectedSegment(), c.segment) << c.minutes;
    }
}

TEST(DurationModel, PresetsNeverChangeTheStoredCustomLength) {
    MemoryUserDefaults defaults;
    defaults.setInteger(key, 70);
    DurationModel model(defaults, 70);
    for (int preset : DurationModel::presets()) {
        model.choosePreset(preset);
        EXPECT_EQ(model.minutes(), preset);
        EXPECT_FALSE(model.isCustom());
    }
    EXPECT_EQ(model.custom(), 70);
    EXPECT_EQ(defaults.integerValue(key), qint64(70));
    model.selectCustom();
    EXPECT_EQ(model.minutes(), 70);
    EXPECT_TRUE(model.isCustom());
}

TEST(DurationModel, SteppedLengthIsKeptForTheNextLaunch) {
    TwoStores stores;
    {
        DurationModel model(*stores.first, 30);
        for (int i = 0; i < 2; ++i)
            model.decrease();
        EXPECT_EQ(model.custom(), 50);
    }
    stores.first.reset();
    const auto next = stores.reopened();
    EXPECT_EQ(DurationModel(*next).custom(), 50);
}

// The accessible adjustment steps like the buttons, and a second selector follows the stored length.
TEST(DurationModel, AccessibleStepsReachAnotherSelector) {
    MemoryUserDefaults defaults;
    DurationModel one(defaults, 15), other(defaults, 30);
    QSignalSpy changed(&other, &DurationModel::customChanged);
    one.increase();
    EXPECT_EQ(one.minutes(), 65);
    EXPECT_EQ(other.custom(), 65);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(other.minutes(), 30);
    one.decrease();
    one.decrease();
    EXPECT_EQ(one.minutes(), 55);
    EXPECT_EQ(one.customAccessibleName(), QStringLiteral("Custom duration, 55 minutes"));
}

// The four segments share the row with 4 between them; the custom one takes a quarter but never less than 108,
// the presets what is left; nothing for a segment that does not exist or a row of no size.
TEST(DurationModel, SegmentsShareTheRowAndTheCustomOneKeepsItsWidth) {
    struct Case {
        qreal width;
        int index;
        QRectF frame;
    };
    const Case cases[] = {
        {452, 0, {0, 0, 110, 40}},
        {452, 1, {114, 0, 110, 40}},
        {452, 3, {342, 0, 110, 40}},
        {336, 0, {0, 0, 72, 40}},
        {336, 2, {152, 0, 72, 40}},
        {336, 3, {228, 0, 108, 40}},
        {108, 0, {0, 0, 0, 40}},
        {108, 3, {12, 0, 108, 40}},
        {452, 4, {}},
        {452, -1, {}},
        {0, 1, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DurationModel::segmentFrame(c.index, QSizeF(c.width, c.width > 0 ? 40 : 0)), c.frame)
            << c.width << " " << c.index;
}

// The thumb lies behind the selected segment from the first frame the selector shows (a preset or the custom
// length), and again once it has slid after a change of the selection; its shadow is a blur round it, not a copy
// beside it. Which segment and where are the model's (its tables above), here only that the view follows them;
// the view pictures hold a tap on a preset and on a step.
TEST(DurationSelector, TheThumbLiesBehindTheSelectedSegmentFromTheFirstFrame) {
    struct Case {
        const char* name;
        int minutes;
        void (*then)(DurationModel&); // after the first frame; none: the first frame itself
        const char* selected;         // the segment's object name
    };
    const Case cases[] = {
        {"30 at first (the default)", 30, nullptr, "preset30"},
        {"a custom length at first", 60, nullptr, "duration"},
        {"the custom length chosen", 15, [](DurationModel& m) { m.selectCustom(); }, "duration"},
        {"back from the custom length", 60, [](DurationModel& m) { m.choosePreset(15); }, "preset15"},
    };
    const int width = 344;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::QmlHarness h;
        MemoryUserDefaults defaults;
        DurationModel model(defaults, c.minutes);
        auto object =
            h.create(componentUrl(QStringLiteral("Tavrine.Ui"), QStringLiteral("DurationSelector")),
                     {{QStringLiteral("model"), QVariant::fromValue(&model)}, {QStringLiteral("dark"), false}});
        auto* selector = qobject_cast<QQuickItem*>(object.get());
        ASSERT_TRUE(selector);
        selector->setWidth(width);
        auto window = test::showInWindow(selector, width, 48);
        if (c.then) {
            c.then(model);
            EXPECT_TRUE(QTest::qWaitFor([&] { // the slide's end
                QQuickItem* thumb = test::findItem(selector, QStringLiteral("durationThumb"));
                QQuickItem* segment = test::findItem(selector, QString::fromLatin1(c.selected));
                return thumb && segment && thumb->x() == segment->mapToItem(selector, QPointF()).x();
            }));
        }
        QQuickItem* thumb = test::findItem(selector, QStringLiteral("durationThumb"));
        QQuickItem* segment = test::findItem(selector, QString::fromLatin1(c.selected));
        ASSERT_TRUE(thumb && segment);
        const QRectF behind = segment->mapRectToItem(selector, QRectF(0, 0, segment->width(), segment->height()));
        EXPECT_GT(thumb->width(), 0);
        EXPECT_EQ(QRectF(thumb->position(), thumb->size()), behind);
        // Drawn: the thumb's near-white fill beside the segment's label, where the track shows elsewhere.
        const QImage image = window->grabWindow();
        const QPoint inside = behind.topLeft().toPoint() + QPoint(3, int(behind.height() / 2));
        EXPECT_GT(qGray(image.pixel(inside)), 240) << "the thumb";
        // Two below the thumb its blurred shadow still darkens the track (the copy one lower that was there did
        // not reach), against the same place under another segment.
        const int below = int(behind.bottom()) + 2;
        QQuickItem* another = test::findItem(selector, QString::fromLatin1(c.selected) == QStringLiteral("duration")
                                                           ? QStringLiteral("preset15")
                                                           : QStringLiteral("duration"));
        ASSERT_TRUE(another);
        const QRectF other = another->mapRectToItem(selector, QRectF(0, 0, another->width(), another->height()));
        EXPECT_LE(qGray(image.pixel(int(behind.center().x()), below)),
                  qGray(image.pixel(int(other.center().x()), below)) - 2);
        EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
    }
}

TEST(HeadlineRotation, CyclesThroughTheFiveHeadlinesInOrder) {
    HeadlineRotation rotation;
    const QStringList expected{"What's the one thing?", "What are we finishing?", "What gets done next?",
                               "What's worth your focus?", "What matters right now?"};
    QStringList seen;
    for (int i = 0; i < 6; ++i) {
        seen << rotation.lead() + rotation.accent();
        rotation.advance();
    }
    EXPECT_EQ(seen.mid(0, 5), expected);
    EXPECT_EQ(seen.at(5), expected.at(0)) << "the cycle closes after five changes";
    for (const auto& headline : HeadlineRotation::headlines())
        EXPECT_TRUE(headline.lead.endsWith(u' '));
}

} // namespace
} // namespace tavrine::ui

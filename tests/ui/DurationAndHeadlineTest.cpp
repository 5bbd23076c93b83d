#include "tavrine/core/UserDefaults.h"
#include "tavrine/ui/DurationModel.h"
#include "tavrine/ui/HeadlineRotation.h"

#include <QSignalSpy>
#include <QTemporaryDir>
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
        {180, 30, +5, 180, 180}, {5, 30, -5, 5, 5},   {7, 30, -5, 5, 5},
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
    };
    const Case cases[] = {{30, 60}, {50, 50}, {200, 60}, {0, 60}, {5, 5}, {180, 180}, {181, 60}, {4, 60}};
    for (const Case& c : cases) {
        MemoryUserDefaults defaults;
        DurationModel model(defaults, c.minutes);
        model.adoptSessionMinutes();
        EXPECT_EQ(model.custom(), c.customAfter) << c.minutes;
        EXPECT_EQ(model.minutes(), c.minutes) << "adopting never moves the planned length";
        EXPECT_EQ(model.isCustom(), !DurationModel::isPreset(c.minutes));
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

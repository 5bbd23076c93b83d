#include "tavrine/core/UserDefaults.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tavrine;

TEST(SettingsUserDefaults, ValuesKeepTheirTypeInASecondStore) {
    const QString path = test::temporaryFolder() + QStringLiteral("/defaults.ini");
    {
        SettingsUserDefaults first(path);
        first.setBool(QStringLiteral("speakNudges"), false);
        first.setInteger(QStringLiteral("customMinutes"), 25);
        first.setDouble(QStringLiteral("ratio"), 0.1);
        first.setString(QStringLiteral("intent"), QStringLiteral("true"));
        first.setString(QStringLiteral("empty"), QString());
    }
    SettingsUserDefaults second(path);
    EXPECT_EQ(second.boolValue(QStringLiteral("speakNudges")), std::optional<bool>(false));
    EXPECT_EQ(second.integerValue(QStringLiteral("customMinutes")), std::optional<qint64>(25));
    EXPECT_EQ(second.doubleValue(QStringLiteral("ratio")), std::optional<double>(0.1));
    EXPECT_EQ(second.doubleValue(QStringLiteral("customMinutes")), std::optional<double>(25.0));
    // A text that looks like a flag stays a text.
    EXPECT_EQ(second.boolValue(QStringLiteral("intent")), std::nullopt);
    EXPECT_EQ(second.stringValue(QStringLiteral("intent")), std::optional<QString>(QStringLiteral("true")));
    EXPECT_EQ(second.stringValue(QStringLiteral("empty")), std::optional<QString>(QString()));
    // Absent differs from a stored false.
    EXPECT_FALSE(second.contains(QStringLiteral("hasCompletedOnboarding")));
    EXPECT_TRUE(second.contains(QStringLiteral("speakNudges")));
}

TEST(SettingsUserDefaults, StandardStoreUsesTheOrganisationFolder) {
    SettingsUserDefaults defaults;
    defaults.setBool(QStringLiteral("probe"), true);
    const QString expected = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/dravolence/tavrine.ini");
    EXPECT_TRUE(QFile::exists(expected)) << expected.toStdString();
    defaults.remove(QStringLiteral("probe"));
    EXPECT_FALSE(defaults.contains(QStringLiteral("probe")));
}

TEST(SettingsUserDefaults, UnreadableStoredValuesAreAbsent) {
    EXPECT_EQ(SettingsUserDefaults::decode(QStringLiteral("true")), std::nullopt);
    EXPECT_EQ(SettingsUserDefaults::decode(QStringLiteral("i:12x")), std::nullopt);
    EXPECT_EQ(SettingsUserDefaults::decode(QStringLiteral("b:yes")), std::nullopt);
}

TEST(UserDefaults, ChangeSignalOnlyOnARealChange) {
    MemoryUserDefaults defaults;
    QSignalSpy spy(&defaults, &UserDefaults::changed);
    defaults.setBool(QStringLiteral("speakNudges"), true);
    defaults.setBool(QStringLiteral("speakNudges"), true);
    defaults.setInteger(QStringLiteral("speakNudges"), 1);
    defaults.remove(QStringLiteral("other"));
    defaults.remove(QStringLiteral("speakNudges"));
    EXPECT_EQ(spy.count(), 3);
}

TEST(SettingsUserDefaults, KeysListEveryStoredKeyInASecondStore) {
    const QString path = test::temporaryFolder() + QStringLiteral("/keys.ini");
    const QString shortcut = QStringLiteral(R"({"carbonKeyCode":35,"carbonModifiers":2304})");
    {
        SettingsUserDefaults first(path);
        first.setString(QStringLiteral("GlobalShortcuts_openMainWindow"), shortcut);
        first.setBool(QStringLiteral("GlobalShortcuts_other"), false);
        first.setInteger(QStringLiteral("customMinutes"), 25);
    }
    SettingsUserDefaults second(path);
    EXPECT_EQ(second.keys(), QStringList({QStringLiteral("GlobalShortcuts_openMainWindow"),
                                          QStringLiteral("GlobalShortcuts_other"), QStringLiteral("customMinutes")}));
    EXPECT_EQ(second.stringValue(QStringLiteral("GlobalShortcuts_openMainWindow")), std::optional<QString>(shortcut));
    EXPECT_EQ(second.boolValue(QStringLiteral("GlobalShortcuts_other")), std::optional<bool>(false));
    second.remove(QStringLiteral("customMinutes"));
    EXPECT_EQ(second.keys().size(), 2);

    MemoryUserDefaults memory;
    memory.setBool(QStringLiteral("b"), true);
    memory.setBool(QStringLiteral("a"), true);
    EXPECT_EQ(memory.keys(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
}

TEST(SettingsUserDefaults, ASettingsFileItCannotUseIsLeftAloneAndDefaultsServe) {
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        bool refused;
    };
    const auto sized = [](qint64 bytes) {
        return [bytes](const QString& path) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("[General]\nspeakNudges=b:false\n");
            ASSERT_TRUE(file.resize(bytes));
        };
    };
    const QList<Case> cases{
        {"absent", [](const QString&) {}, false},
        {"at the size limit", sized(SettingsUserDefaults::largestFile), false},
        {"over the size limit", sized(SettingsUserDefaults::largestFile + 1), true},
        {"a folder", [](const QString& path) { ASSERT_TRUE(QDir().mkpath(path)); }, true},
        {"a pipe", [](const QString& path) { ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0); }, true},
        {"a link to nowhere",
         [](const QString& path) { ASSERT_TRUE(QFile::link(path + QStringLiteral(".gone"), path)); }, true},
    };
    for (const Case& c : cases) {
        const QString path = test::temporaryFolder() + QStringLiteral("/tavrine.ini");
        c.make(path);
        const QFileInfo before(path);
        {
            SettingsUserDefaults defaults(path);
            EXPECT_EQ(!defaults.problem().isEmpty(), c.refused) << c.name;
            // Preferences still work for the run, whatever the file.
            defaults.setBool(QStringLiteral("hasCompletedOnboarding"), true);
            EXPECT_EQ(defaults.boolValue(QStringLiteral("hasCompletedOnboarding")), std::optional<bool>(true))
                << c.name;
            if (c.refused) {
                EXPECT_EQ(defaults.keys(), QStringList{QStringLiteral("hasCompletedOnboarding")}) << c.name;
                EXPECT_TRUE(defaults.problem().contains(path)) << c.name;
                EXPECT_TRUE(defaults.problem().contains(QStringLiteral("saves no settings this run"))) << c.name;
            }
        }
        if (!c.refused)
            continue;
        const QFileInfo after(path);
        EXPECT_EQ(after.isFile(), before.isFile()) << c.name;
        EXPECT_EQ(after.isDir(), before.isDir()) << c.name;
        EXPECT_EQ(after.size(), before.size()) << c.name;
        EXPECT_EQ(after.lastModified(), before.lastModified()) << c.name;
    }
}

#include "tavrine/core/UserDefaults.h"
#include "support/LogCapture.h"
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
    using FileCalls = SettingsUserDefaults::FileCalls;
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        // Why it is refused; empty when it is read.
        QString why;
        FileCalls calls = FileCalls::system();
    };
    const auto sized = [](qint64 bytes) {
        return [bytes](const QString& path) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            // A file QSettings parses whole, of exactly that size.
            const QByteArray text = "[General]\nspeakNudges=b:false\npadding=s:";
            file.write(text + QByteArray(bytes - text.size() - 1, 'x') + '\n');
            ASSERT_EQ(file.size(), bytes);
        };
    };
    const auto written = [](QByteArray text) {
        return [text](const QString& path) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text);
        };
    };
    // A failure of one call, as a user meets it where root is never stopped by a mode.
    const auto failing = [](std::function<int(const QByteArray&, struct stat*)> FileCalls::*look, int error) {
        FileCalls calls = FileCalls::system();
        calls.*look = [error](const QByteArray&, struct stat*) {
            errno = error;
            return -1;
        };
        return calls;
    };
    FileCalls unopenable = FileCalls::system();
    unopenable.openForReading = [](const QByteArray&) {
        errno = EACCES;
        return -1;
    };
    const QList<Case> cases{
        {"absent", [](const QString&) {}, {}},
        {"at the size limit", sized(SettingsUserDefaults::largestFile), {}},
        {"over the size limit", sized(SettingsUserDefaults::largestFile + 1), "it is larger than 1 MB"},
        {"a folder", [](const QString& path) { ASSERT_TRUE(QDir().mkpath(path)); }, "it is a folder, not a file"},
        {"a pipe", [](const QString& path) { ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0); },
         "it is not a regular file"},
        {"a link to nowhere",
         [](const QString& path) { ASSERT_TRUE(QFile::link(path + QStringLiteral(".gone"), path)); },
         "it is a link to nothing"},
        {"behind a folder that cannot be searched", sized(100),
         "a folder on its path cannot be searched (Permission denied)", failing(&FileCalls::lstat, EACCES)},
        {"a link whose target cannot be looked at",
         [](const QString& path) { ASSERT_TRUE(QFile::link(path + QStringLiteral(".target"), path)); },
         "what it links to cannot be looked at (Permission denied)", failing(&FileCalls::stat, EACCES)},
        {"on a failing disk", sized(100), "it cannot be looked at (Input/output error)",
         failing(&FileCalls::lstat, EIO)},
        {"refused to open", sized(100), "it cannot be opened (Permission denied)", unopenable},
        {"a group QSettings cannot parse", written("[General\nspeakNudges=b:false\n"),
         "Qt reports it is not in the settings file format"},
        {"a line QSettings cannot parse, in a group read later", written("[General]\nspeakNudges\n"),
         "Qt reports it is not in the settings file format"},
    };
    for (const Case& c : cases) {
        const QString path = test::temporaryFolder() + QStringLiteral("/tavrine.ini");
        c.make(path);
        const QFileInfo before(path);
        const bool refused = !c.why.isEmpty();
        {
            test::LogCapture logs;
            SettingsUserDefaults defaults(path, c.calls);
            EXPECT_EQ(!defaults.problem().isEmpty(), refused) << c.name;
            // The line the first-run and settings windows show is the one logged.
            EXPECT_EQ(logs.messages(QStringLiteral("session")),
                      refused ? QStringList{defaults.problem()} : QStringList{})
                << c.name;
            // Preferences still work for the run, whatever the file.
            defaults.setBool(QStringLiteral("hasCompletedOnboarding"), true);
            EXPECT_EQ(defaults.boolValue(QStringLiteral("hasCompletedOnboarding")), std::optional<bool>(true))
                << c.name;
            if (refused) {
                EXPECT_EQ(defaults.keys(), QStringList{QStringLiteral("hasCompletedOnboarding")}) << c.name;
                EXPECT_EQ(defaults.problem(),
                          QStringLiteral("The settings file %1 was not read because %2. Tavrine runs on its defaults "
                                         "and saves no settings this run; the file is left as it is.")
                              .arg(path, c.why))
                    << c.name;
            }
        }
        if (!refused)
            continue;
        const QFileInfo after(path);
        EXPECT_EQ(after.isFile(), before.isFile()) << c.name;
        EXPECT_EQ(after.isDir(), before.isDir()) << c.name;
        EXPECT_EQ(after.size(), before.size()) << c.name;
        EXPECT_EQ(after.lastModified(), before.lastModified()) << c.name;
    }
}

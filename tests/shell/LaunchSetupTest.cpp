#include "tavrine/shell/LaunchSetup.h"
#include "fakes/FakeLoginItem.h"
#include "support/LogCapture.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/platform/LoginItem.h"
#include "tavrine/shell/AppStartup.h"
#include "tavrine/shell/LaunchArguments.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <X11/X.h>

using namespace tavrine;
using namespace tavrine::shell;
using namespace tavrine::test;

TEST(LaunchArguments, FlagsAreExactArguments) {
    struct Case {
        QStringList arguments;
        bool noHistory;
        bool onboarding;
        bool atLogin;
    };
    const QList<Case> cases = {
        {{"tavrine"}, false, false, false},
        {{"tavrine", "--demo"}, true, false, false},
        {{"tavrine", "--e2e"}, true, false, false},
        {{"tavrine", "--demo=1"}, false, false, false},
        {{"tavrine", "--Demo"}, false, false, false},
        {{"tavrine", "-demo"}, false, false, false},
        {{"tavrine", "--onboarding"}, false, true, false},
        {{"tavrine", "--onboarding=yes"}, false, false, false},
        {{"tavrine", "--launched-at-login"}, false, false, true},
        {{"tavrine", "--launched-at-login=1"}, false, false, false},
        {{"tavrine", "--e2e", "--onboarding", "--launched-at-login"}, true, true, true},
    };
    for (const Case& c : cases) {
        const LaunchArguments parsed = LaunchArguments::parse(c.arguments);
        const std::string name = c.arguments.join(u' ').toStdString();
        EXPECT_EQ(parsed.noHistory, c.noHistory) << name;
        EXPECT_EQ(parsed.onboarding, c.onboarding) << name;
        EXPECT_EQ(parsed.atLogin, c.atLogin) << name;
        EXPECT_EQ(platform::wasLaunchedAsLoginItem(c.arguments), c.atLogin) << name;
    }
}

// The screen check says what it checks: direct colours of 15 bits or more.
TEST(ScreenRefusal, DirectColoursOfFifteenBitsOrMoreRun) {
    struct Case {
        int visualClass;
        int depth;
        const char* refusedAs; // none when it runs
    };
    const Case cases[] = {
        {TrueColor, 24, nullptr},
        {TrueColor, 16, nullptr},
        {TrueColor, 15, nullptr},
        {DirectColor, 24, nullptr},
        {TrueColor, 12, "12-bit TrueColor"},
        {PseudoColor, 8, "8-bit PseudoColor"},
        {GrayScale, 8, "8-bit GrayScale"},
        {StaticGray, 1, "1-bit StaticGray"},
    };
    for (const Case& c : cases) {
        const std::optional<QString> refusal = screenRefusal(":8", c.visualClass, c.depth);
        ASSERT_EQ(refusal.has_value(), c.refusedAs != nullptr) << c.visualClass << " " << c.depth;
        if (refusal) {
            EXPECT_EQ(*refusal, QStringLiteral("the screen of X display :8 is %1; Tavrine needs a TrueColor or "
                                               "DirectColor screen of 15 bits or more")
                                    .arg(QLatin1String(c.refusedAs)));
        }
    }
}

namespace {

struct Launch {
    MemoryUserDefaults memory;
    UserDefaults& defaults;
    FakeLoginItem ownItem;
    FakeLoginItem& loginItem;
    bool atLogin = false;
    bool showOnboarding = false;
    int wired = 0;
    int activated = 0;
    int opened = 0;
    std::unique_ptr<LaunchSetup> setup;

    explicit Launch(UserDefaults* settings = nullptr, FakeLoginItem* item = nullptr)
        : defaults(settings ? *settings : memory), loginItem(item ? *item : ownItem) {
        LaunchSetup::Hooks hooks;
        hooks.wire = [this] { ++wired; };
        hooks.wasLaunchedAsLoginItem = [this] { return atLogin; };
        hooks.shouldShowOnboarding = [this] { return showOnboarding; };
        hooks.activate = [this] { ++activated; };
        hooks.openFocusWindow = [this] { ++opened; };
        setup = std::make_unique<LaunchSetup>(defaults, loginItem, hooks);
    }
};

} // namespace

// Each case with the marker flag read from the hook and, at login, also with the answer the caller kept; with
// and without the first-launch default applied already.
TEST(LaunchSetup, WhatComesForwardFollowsLoginAndOnboarding) {
    struct Case {
        bool atLogin;
        bool showOnboarding;
        bool activated;
        bool opened;
    };
    const Case cases[] = {
        // A first ordinary launch: the onboarding window (shown by its scene) is brought forward.
        {false, true, true, false},
        // Onboarding done: the main window opens.
        {false, false, true, true},
        // At login with onboarding done: nothing comes forward.
        {true, false, false, false},
        // At login with onboarding not done: the onboarding still comes forward.
        {true, true, true, false},
    };
    for (const Case& c : cases) {
        for (const bool kept : {false, true}) {
            for (const bool defaultApplied : {false, true}) {
                if (kept && !c.atLogin)
                    continue;
                SCOPED_TRACE("atLogin=" + std::to_string(c.atLogin) +
                             " onboarding=" + std::to_string(c.showOnboarding) + " kept=" + std::to_string(kept) +
                             " applied=" + std::to_string(defaultApplied));
                Launch launch;
                launch.atLogin = c.atLogin && !kept;
                launch.showOnboarding = c.showOnboarding;
                if (defaultApplied)
                    launch.defaults.setBool(QStringLiteral("launchAtLoginDefaultApplied"), true);
                EXPECT_TRUE(launch.setup->run(kept));
                // Once per process: a second run does nothing.
                EXPECT_FALSE(launch.setup->run(kept));
                EXPECT_EQ(launch.wired, 1);
                EXPECT_EQ(launch.activated, c.activated ? 1 : 0);
                EXPECT_EQ(launch.opened, c.opened ? 1 : 0);
                // Launch at login is switched on exactly once ever, on the first launch.
                EXPECT_EQ(launch.loginItem.registerCalls, defaultApplied ? 0 : 1);
                EXPECT_EQ(launch.defaults.boolValue(QStringLiteral("launchAtLoginDefaultApplied")), true);
            }
        }
    }
}

TEST(LaunchSetup, AFailedRegistrationIsLoggedAndNotRetried) {
    LogCapture logs;
    Launch first;
    first.loginItem.failWith = QStringLiteral("disk full");
    first.setup->run(false);
    EXPECT_EQ(first.loginItem.registerCalls, 1);
    EXPECT_EQ(first.opened, 1);
    EXPECT_EQ(logs.messages(QStringLiteral("LoginItem")),
              QStringList{QStringLiteral("Login item change failed: disk full")});
    // The next launch of the same user: the flag says it was tried.
    Launch second;
    second.defaults.setBool(QStringLiteral("launchAtLoginDefaultApplied"),
                            *first.defaults.boolValue(QStringLiteral("launchAtLoginDefaultApplied")));
    second.setup->run(false);
    EXPECT_EQ(second.loginItem.registerCalls, 0);
}

// While the settings file is refused, the mark of the first-launch default cannot be read: applying the default
// then would bring back, at every launch, a login entry the user deleted.
TEST(LaunchSetup, ARefusedSettingsFileNeverBringsBackADeletedLoginEntry) {
    const std::function<void(const QString&)> refusals[] = {
        [](const QString& path) {
            QFile::remove(path);
            QDir().mkpath(path);
        },
        [](const QString& path) {
            QFile::remove(path);
            ::mkfifo(QFile::encodeName(path).constData(), 0600);
        },
        [](const QString& path) {
            QFile file(path);
            file.open(QIODevice::Append);
            file.resize(SettingsUserDefaults::largestFile + 1);
        },
        // Qt tells only the first reader of a file that it cannot parse it: every later launch is refused too.
        [](const QString& path) {
            QFile file(path);
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            file.write("[General\nlaunchAtLoginDefaultApplied=b:true\n");
        },
    };
    int row = 0;
    for (const auto& refuse : refusals) {
        SCOPED_TRACE(row++);
        const QString path = temporaryFolder() + QStringLiteral("/tavrine.ini");
        FakeLoginItem entry;
        // A true first launch with the file refused gets no entry at all.
        refuse(path);
        std::optional<SettingsUserDefaults> settings(std::in_place, path);
        ASSERT_FALSE(settings->problem().isEmpty());
        Launch(&*settings, &entry).setup->run(false);
        EXPECT_EQ(entry.registerCalls, 0);
        QDir(path).removeRecursively();
        QFile::remove(path);
        settings.emplace(path);
        Launch(&*settings, &entry).setup->run(false);
        ASSERT_EQ(entry.registerCalls, 1);
        // The user deletes the entry; then the settings file is refused for two launches.
        entry.state = platform::LoginItem::Status::NotRegistered;
        settings.reset();
        refuse(path);
        for (int launch = 0; launch < 2; ++launch) {
            settings.emplace(path);
            ASSERT_FALSE(settings->problem().isEmpty());
            Launch(&*settings, &entry).setup->run(false);
        }
        EXPECT_EQ(entry.registerCalls, 1);
        EXPECT_EQ(entry.state, platform::LoginItem::Status::NotRegistered);
    }
}

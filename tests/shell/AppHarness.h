#pragma once

#include "fakes/FakeActivityObserver.h"
#include "fakes/FakeClassifier.h"
#include "fakes/FakeLoginItem.h"
#include "fakes/FakeWorkspaceEvents.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/services/KeyringReading.h"
#include "tavrine/session/SessionServicesFactory.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/shell/TavrineApp.h"
#include "tavrine/shell/WindowSet.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace tavrine::test {

class NoKeyring final : public KeyringReading {
public:
    QCoro::Task<std::optional<QString>> readToken() override { co_return std::nullopt; }
};

class FakeSessionServices final : public SessionServicesFactory {
public:
    explicit FakeSessionServices(Clock& clock) : m_clock(clock) {}
    std::shared_ptr<ActivityObserving> makeObserver() override {
        observer = std::make_shared<FakeActivityObserver>(m_clock);
        return observer;
    }
    std::shared_ptr<ActivityClassifying> makeClassifier(bool) override {
        classifier = std::make_shared<FakeClassifier>(m_clock);
        return classifier;
    }

    // The latest ones made, for a test to script.
    std::shared_ptr<FakeActivityObserver> observer;
    std::shared_ptr<FakeClassifier> classifier;

private:
    Clock& m_clock;
};

// The application in the test process on virtual time, with fakes for the session's desktop services and a
// history in a temporary folder; by default onboarding done, so the main window opens at launch. `arguments`
// follow the program's name.
struct ShellAppHarness {
    explicit ShellAppHarness(QStringList arguments = {}, bool onboarded = true) {
        SessionHistory::Options options;
        options.folder = folder.path();
        history = std::make_shared<SessionHistory>(options);
        defaults.setBool(QStringLiteral("hasCompletedOnboarding"), onboarded);
        shell::TavrineApp::Environment environment;
        environment.arguments = QStringList{QStringLiteral("tavrine")} + arguments;
        environment.defaults = &defaults;
        environment.clock = &clock;
        environment.services = &services;
        environment.workspaceEvents = &events;
        environment.history = history;
        environment.loginItem = &loginItem;
        environment.keyring = std::make_shared<NoKeyring>();
        environment.exit = [this](int status) { exits << status; };
        environment.constructed = [this](const QString& name) { constructed << name; };
        app = std::make_unique<shell::TavrineApp>(std::move(environment));
    }
    ~ShellAppHarness() {
        app.reset();
        ManualClock::pump();
    }

    // Starts the application and lets the event-loop turns run that show the tray label and run the launch set-up.
    void start() {
        app->start();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    void runSession(double seconds) {
        app->session().setIntention(QStringLiteral("Write the report"));
        app->session().start(false);
        clock.advance(seconds);
    }
    QStringList visibleWindows() const {
        QStringList ids;
        for (QQuickWindow* window : app->windows().builtWindows())
            if (window->isVisible())
                ids << window->objectName();
        ids.sort();
        return ids;
    }

    QTemporaryDir folder;
    ManualClock clock{1000.0};
    MemoryUserDefaults defaults;
    FakeWorkspaceEvents events;
    FakeSessionServices services{clock};
    FakeLoginItem loginItem;
    std::shared_ptr<SessionHistory> history;
    QStringList constructed;
    QList<int> exits;
    std::unique_ptr<shell::TavrineApp> app;
};

// For the tests on the private desktop: how long to wait for the window manager, real input through XTest, and
// a window as the X server has it, whatever Qt asked for.
inline constexpr double waitLimit = 20.0;

inline void xdotool(const QStringList& arguments) {
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), arguments), 0) << arguments.join(' ').toStdString();
}

struct ServerWindow {
    QRect frame;
    bool mapped = false;
};

inline ServerWindow serverWindow(const QWindow* window) {
    const QString text =
        programOutput(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window->winId())});
    const auto number = [&text](const char* label) {
        const QRegularExpression pattern(QStringLiteral("%1:\\s+(-?\\d+)").arg(QString::fromLatin1(label)));
        return pattern.match(text).captured(1).toInt();
    };
    return {QRect(number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"), number("Height")),
            text.contains(QStringLiteral("Map State: IsViewable"))};
}

} // namespace tavrine::test

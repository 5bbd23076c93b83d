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
#include "tavrine/shell/TavrineApp.h"

#include <QCoreApplication>
#include <QTemporaryDir>
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
        return std::make_shared<FakeActivityObserver>(m_clock);
    }
    std::shared_ptr<ActivityClassifying> makeClassifier(bool) override {
        return std::make_shared<FakeClassifier>(m_clock);
    }

private:
    Clock& m_clock;
};

// The application in the test process on virtual time, with fakes for the session's desktop services and a
// history in a temporary folder; by default onboarding done, so the main window opens at launch.
struct ShellAppHarness {
    explicit ShellAppHarness(QStringList arguments = {QStringLiteral("tavrine")}, bool onboarded = true) {
        SessionHistory::Options options;
        options.folder = folder.path();
        history = std::make_shared<SessionHistory>(options);
        defaults.setBool(QStringLiteral("hasCompletedOnboarding"), onboarded);
        shell::TavrineApp::Environment environment;
        environment.arguments = std::move(arguments);
        environment.defaults = &defaults;
        environment.clock = &clock;
        environment.services = &services;
        environment.workspaceEvents = &events;
        environment.history = history;
        environment.loginItem = &loginItem;
        environment.keyring = std::make_shared<NoKeyring>();
        environment.exit = [](int) {};
        app = std::make_unique<shell::TavrineApp>(std::move(environment));
    }
    ~ShellAppHarness() {
        app.reset();
        ManualClock::pump();
    }

    QTemporaryDir folder;
    ManualClock clock{1000.0};
    MemoryUserDefaults defaults;
    FakeWorkspaceEvents events;
    FakeSessionServices services{clock};
    FakeLoginItem loginItem;
    std::shared_ptr<SessionHistory> history;
    std::unique_ptr<shell::TavrineApp> app;
};

} // namespace tavrine::test

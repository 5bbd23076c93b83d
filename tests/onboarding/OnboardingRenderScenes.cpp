// Scenes of the first-run window for scripts/render-views: every page, the permissions page before and after
// the grants, the ready page with an intention, and the welcome page under a dark desktop palette.
#include "fakes/FakePermissions.h"
#include "session/SessionHarness.h"
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/onboarding/OnboardingFlow.h"
#include "tavrine/onboarding/OnboardingStage.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QDir>
#include <QGuiApplication>
#include <QPalette>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

namespace tavrine::test {

namespace {

using onboarding::OnboardingFlow;
using onboarding::OnboardingPage;

struct PageState {
    OnboardingPage page;
    bool granted = true;
    QString intention;
    bool dark = false;
    // The settings file is a folder, left alone this run.
    bool refusedSettings = false;
};

QImage renderPage(QmlHarness& harness, const PageState& state) {
    const QPalette saved = QGuiApplication::palette();
    if (state.dark) {
        QPalette dark = saved;
        dark.setColor(QPalette::Window, QColor(36, 36, 38));
        dark.setColor(QPalette::WindowText, QColor(235, 235, 240));
        QGuiApplication::setPalette(dark);
    }
    SessionHarness session;
    FakePermissions permissions;
    permissions.accessibility = state.granted;
    permissions.screenCapture = true;
    QTemporaryDir folder;
    const QString settingsPath = folder.filePath(QStringLiteral("tavrine.ini"));
    if (state.refusedSettings)
        QDir().mkpath(settingsPath);
    SettingsUserDefaults refused(settingsPath);
    UserDefaults& defaults = state.refusedSettings ? static_cast<UserDefaults&>(refused) : session.defaults;
    OnboardingFlow flow(*session.session, std::make_unique<onboarding::OnboardingRehearsal>(session.clock),
                        std::make_unique<onboarding::OnboardingStage>(harness.engine(), session.clock,
                                                                      onboarding::OnboardingStage::defaultParts()),
                        defaults, &permissions, {QStringLiteral("tavrine")}, {});
    defaults.setInteger(QString::fromLatin1(OnboardingFlow::pageKey), int(state.page));
    session.session->setIntention(state.intention);
    std::unique_ptr<QObject> root =
        harness.create(ui::componentUrl(QStringLiteral("Tavrine.Onboarding"), QStringLiteral("OnboardingWindowRoot")),
                       {{QStringLiteral("flow"), QVariant::fromValue<QObject*>(&flow)}});
    QImage image;
    if (auto* item = qobject_cast<QQuickItem*>(root.get())) {
        auto window = showInWindow(item, 800, 600);
        flow.windowShown();
        // The typed intention finishes in virtual time; the rest settles in real time.
        session.advance(3);
        QTest::qWait(450);
        image = grabScene(*window);
    }
    root.reset();
    QGuiApplication::setPalette(saved);
    return image;
}

void addOnboardingScenes(std::vector<RenderScene>& scenes) {
    const std::pair<const char*, PageState> states[] = {
        {"welcome", {OnboardingPage::Welcome, true, {}, false}},
        {"welcome-dark", {OnboardingPage::Welcome, true, {}, true}},
        {"permissions", {OnboardingPage::Permissions, false, {}, false}},
        {"permissions-granted", {OnboardingPage::Permissions, true, {}, false}},
        {"rehearsal", {OnboardingPage::Rehearsal, true, {}, false}},
        {"ready", {OnboardingPage::Ready, true, {}, false}},
        {"ready-intention", {OnboardingPage::Ready, true, QStringLiteral("Design the landing page"), false}},
        {"welcome-settings-refused", {OnboardingPage::Welcome, true, {}, false, true}},
        {"ready-settings-refused", {OnboardingPage::Ready, true, {}, false, true}},
    };
    for (const auto& [name, state] : states) {
        const PageState shown = state;
        scenes.push_back({QStringLiteral("onboarding"), QString::fromLatin1(name),
                          [shown](QmlHarness& harness) { return renderPage(harness, shown); }});
    }
}

} // namespace

TAVRINE_RENDER_SCENES(addOnboardingScenes)

} // namespace tavrine::test

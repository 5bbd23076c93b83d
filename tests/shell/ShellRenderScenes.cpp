// The shell's windows with what they show at a first launch, for scripts/render-views.
#include "session/SessionHarness.h"
#include "support/DarkScheme.h"
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"
#include "tavrine/core/Clock.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryBrowser.h"
#include "tavrine/shell/MainWindowModel.h"
#include "tavrine/shell/TrayStatusLabel.h"
#include "tavrine/shell/WindowSet.h"
#include "tavrine/ui/HeadlineRotation.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QMenu>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

namespace {

using namespace tavrine::test;

QImage renderWindow(QmlHarness& harness, const QString& id) {
    const tavrine::shell::WindowSet::Spec* spec = tavrine::shell::WindowSet::spec(id);
    // The History window of a first launch: an empty store.
    QTemporaryDir folder;
    tavrine::SessionHistory::Options options;
    options.folder = folder.path();
    tavrine::SessionHistory history(options);
    tavrine::HistoryBrowser browser(&history, tavrine::Clock::system());
    QVariantMap properties;
    if (id == QLatin1String("history"))
        properties.insert(QStringLiteral("historyBrowser"), QVariant::fromValue<QObject*>(&browser));
    std::unique_ptr<QObject> object =
        harness.create(tavrine::ui::componentUrl(QStringLiteral("Tavrine.Shell"), spec->component), properties);
    auto* window = qobject_cast<QQuickWindow*>(object.get());
    if (!window)
        return {};
    window->setTitle(spec->title);
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return {};
    return grabScene(*window);
}

enum class MainState { Setup, SetupWidest, SetupBlocked, Running, RunningUnjudged, Paused, Recap, RecapSharePopup };

// Turns the headline to the widest of its questions as drawn, the one that comes nearest the header.
void showWidestHeadline(QObject* root) {
    QObject* rotation = qvariant_cast<QObject*>(findObject(root, "rotatingHeadline")->property("rotation"));
    int widest = 0;
    qreal widestWidth = 0;
    for (int index = 0; index < tavrine::ui::HeadlineRotation::headlines().size(); ++index) {
        rotation->setProperty("index", index);
        auto* text = qobject_cast<QQuickItem*>(findObject(root, "headlineText"));
        if (text->implicitWidth() > widestWidth) {
            widestWidth = text->implicitWidth();
            widest = index;
        }
    }
    rotation->setProperty("index", widest);
}

// The main window over a session on virtual time, in one of its states.
QImage renderMainWindow(QmlHarness& harness, MainState state, bool dark) {
    const DarkScheme scheme(dark);
    SessionHarness session;
    tavrine::shell::MainWindowModel model(*session.session, session.defaults, {}, nullptr, &harness.engine());
    if (state == MainState::SetupBlocked) {
        session.observer->setPermissions(false, true);
        session.session->setIntention(QStringLiteral("Finish the pricing proposal for Acme"));
        session.session->setMinutes(50);
    }
    if (state == MainState::RunningUnjudged) {
        FakeClassifier::Verdict failing;
        failing.error = std::make_exception_ptr(JudgeError());
        session.classifier->setVerdict(failing);
    }
    std::unique_ptr<QObject> object =
        harness.create(tavrine::ui::componentUrl(QStringLiteral("Tavrine.Shell"), QStringLiteral("FocusWindow")),
                       {{QStringLiteral("mainWindow"), QVariant::fromValue(&model)}});
    QImage image;
    if (auto* window = qobject_cast<QQuickWindow*>(object.get())) {
        // No palette is handed to the window: the application's own windows take the desktop's colours themselves.
        if (state == MainState::SetupWidest)
            showWidestHeadline(window);
        window->show();
        if (QTest::qWaitForWindowExposed(window)) {
            // The application builds its main window at launch, before any session: a session starts, runs and
            // ends in a window already shown.
            const bool recap = state == MainState::Recap || state == MainState::RecapSharePopup;
            if (state == MainState::Running || state == MainState::RunningUnjudged || state == MainState::Paused ||
                recap) {
                session.start(25, QStringLiteral("Finish the pricing proposal for Acme and send it to Dana"));
                session.advance(95);
                if (state == MainState::Running) {
                    session.observer->setPermissions(false, true);
                    model.refreshPermissions();
                }
                if (state == MainState::Paused)
                    session.session->pause();
                if (recap)
                    session.session->stop(false);
            }
            // The recap's entrance and the headline's change both last half a second. The recap is drawn once its
            // share image is there, so that "Share card" is enabled in every render.
            QTest::qWait(recap || state == MainState::SetupWidest ? 600 : 100);
            if (recap && !QTest::qWaitFor([&] { return model.recap()->hasShareImage(); }))
                return {};
            if (state == MainState::RecapSharePopup) {
                QMetaObject::invokeMethod(findObject(window, QStringLiteral("sharePopup")), "open");
                QTest::qWait(400); // the popup's and its dimmer's fade
            }
            image = grabScene(*window);
        }
    }
    return image;
}

// The tray's menu as Qt draws it where the host shows a menu of the application's own, on the desktop's colours.
QImage renderTrayMenu(bool dark) {
    const DarkScheme scheme(dark);
    SessionHarness session;
    tavrine::shell::TrayStatusLabel tray(*session.session, {});
    QMenu& menu = tray.menu();
    menu.ensurePolished();
    menu.resize(menu.sizeHint());
    return menu.grab().toImage();
}

void addShellScenes(std::vector<RenderScene>& scenes) {
    const std::pair<const char*, MainState> states[] = {{"setup", MainState::Setup},
                                                        {"setup-widest", MainState::SetupWidest},
                                                        {"setup-blocked", MainState::SetupBlocked},
                                                        {"running", MainState::Running},
                                                        {"running-unjudged", MainState::RunningUnjudged},
                                                        {"paused", MainState::Paused},
                                                        {"recap", MainState::Recap},
                                                        {"recap-share", MainState::RecapSharePopup}};
    for (const auto& [name, state] : states) {
        for (bool dark : {false, true}) {
            const MainState shown = state;
            scenes.push_back({QStringLiteral("main-window"), QString::fromLatin1(name) + (dark ? "-dark" : ""),
                              [shown, dark](QmlHarness& harness) { return renderMainWindow(harness, shown, dark); }});
        }
    }
    for (bool dark : {false, true})
        scenes.push_back({QStringLiteral("tray-menu"), QLatin1String(dark ? "dark" : "light"),
                          [dark](QmlHarness&) { return renderTrayMenu(dark); }});
    for (const char* id : {"onboarding", "history"}) {
        const QString window = QString::fromLatin1(id);
        scenes.push_back({QStringLiteral("window-") + window, QStringLiteral("placeholder"),
                          [window](QmlHarness& harness) { return renderWindow(harness, window); }});
    }
}

} // namespace

TAVRINE_RENDER_SCENES(addShellScenes)

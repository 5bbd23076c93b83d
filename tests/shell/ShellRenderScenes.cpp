// The shell's windows with what they show at a first launch, for scripts/render-views.
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"
#include "tavrine/core/Clock.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryBrowser.h"
#include "tavrine/shell/WindowSet.h"
#include "tavrine/ui/QmlEngineSetup.h"

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
    return window->grabWindow();
}

void addShellScenes(std::vector<RenderScene>& scenes) {
    for (const char* id : {"focus", "onboarding", "history", "settings"}) {
        const QString window = QString::fromLatin1(id);
        scenes.push_back({QStringLiteral("window-") + window, QStringLiteral("placeholder"),
                          [window](QmlHarness& harness) { return renderWindow(harness, window); }});
    }
}

} // namespace

TAVRINE_RENDER_SCENES(addShellScenes)

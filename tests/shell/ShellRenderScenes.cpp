// The shell's windows as they are before their views arrive, for scripts/render-views.
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"
#include "tavrine/shell/WindowSet.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QQuickWindow>
#include <QTest>

namespace {

using namespace tavrine::test;

QImage renderWindow(QmlHarness& harness, const QString& id) {
    const tavrine::shell::WindowSet::Spec* spec = tavrine::shell::WindowSet::spec(id);
    std::unique_ptr<QObject> object =
        harness.create(tavrine::ui::componentUrl(QStringLiteral("Tavrine.Shell"), spec->component));
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

// Scenes of the rehearsal's mock video site for scripts/render-views: each clip's page with its poster (no web
// player in the renderer), the page while the player shows, and each poster alone.
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/onboarding/RehearsalPlayer.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

namespace tavrine::test {

namespace {

// A page without a web view that is ready at once.
class StillPage final : public RehearsalPlayerPage {
public:
    void load() override { emit message(QVariantMap{{QStringLiteral("event"), QStringLiteral("ready")}}); }
    void runScript(const QString&) override {}
    void detach() override {}
};

// With no clip configured (as by default) the poster stands in; with one, the player's area shows.
QImage page(QmlHarness& h, RehearsalVideo video, bool poster) {
    ManualClock clock;
    const RehearsalClipIdentifiers ids = poster ? RehearsalClipIdentifiers{}
                                                : RehearsalClipIdentifiers{QStringLiteral("Detour_0001"),
                                                                           QStringLiteral("Tutorial-02")};
    RehearsalPlayer player(std::make_unique<StillPage>(), clock, ids);
    player.setCurrent(video, false);
    auto object = h.create(ui::componentUrl(QStringLiteral("Tavrine.Onboarding"), QStringLiteral("VideoPage")),
                           {{QStringLiteral("player"), QVariant::fromValue<QObject*>(&player)},
                            {QStringLiteral("reduceMotion"), true}});
    auto* item = qobject_cast<QQuickItem*>(object.get());
    if (!item)
        return {};
    item->setSize({1200, 760});
    auto window = showInWindow(item, 1200, 760);
    QTest::qWait(poster ? 400 : 100);
    QImage image = grabScene(*window);
    player.teardown();
    return image;
}

QImage poster(QmlHarness& h, int video) {
    auto object = h.createFromText("import QtQuick\nimport Tavrine.Onboarding\n"
                                   "Rectangle { width: 640; height: 360; color: 'black'\n"
                                   " VideoPoster { anchors.fill: parent; video: " +
                                   QByteArray::number(video) + "; reduceMotion: true } }");
    auto* item = qobject_cast<QQuickItem*>(object.get());
    if (!item)
        return {};
    auto window = showInWindow(item, 640, 360);
    QTest::qWait(100);
    return grabScene(*window);
}

void addScenes(std::vector<RenderScene>& scenes) {
    scenes.push_back({"rehearsal-video", "detour-poster", [](QmlHarness& h) { return page(h, RehearsalVideo::Detour, true); }});
    scenes.push_back({"rehearsal-video", "tutorial-poster", [](QmlHarness& h) { return page(h, RehearsalVideo::Tutorial, true); }});
    scenes.push_back({"rehearsal-video", "detour-player", [](QmlHarness& h) { return page(h, RehearsalVideo::Detour, false); }});
    scenes.push_back({"rehearsal-poster", "detour", [](QmlHarness& h) { return poster(h, 0); }});
    scenes.push_back({"rehearsal-poster", "tutorial", [](QmlHarness& h) { return poster(h, 1); }});
}

} // namespace

TAVRINE_RENDER_SCENES(addScenes)

} // namespace tavrine::test

// Scenes of the rehearsal's scenery for scripts/render-views: the coach on each beat, the tray pointer, the
// design page, the landing page and the asked button.
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/onboarding/CoachModel.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <functional>

namespace tavrine::test {

namespace {

using onboarding::CoachModel;

QUrl component(const char* name) {
    return ui::componentUrl(QStringLiteral("Tavrine.Onboarding"), QString::fromLatin1(name));
}

// Grabs `object` on a backdrop (grey unless given) of its size plus a margin, after the animations of `settle`
// ms. The item goes while still in its window: an item with a layer (the shadows under OpenGL) taken out of a
// window that is then closed crashes Qt when it is deleted.
QImage grab(QmlHarness& h, std::unique_ptr<QObject> object, int width, int height, int settle = 50,
            const char* backdropColour = "#8a8f98", const std::function<void()>& onShown = {}) {
    auto backdrop = h.createFromText(QByteArray("import QtQuick\nRectangle { color: '") + backdropColour + "' }");
    auto* frame = qobject_cast<QQuickItem*>(backdrop.get());
    auto* item = qobject_cast<QQuickItem*>(object.get());
    if (!frame || !item)
        return {};
    frame->setSize({double(width + 40), double(height + 40)});
    item->setParentItem(frame);
    item->setPosition({20, 20});
    auto window = showInWindow(frame, width + 40, height + 40);
    if (onShown) {
        QTest::qWait(300);
        onShown();
    }
    QTest::qWait(settle);
    QImage image = grabScene(*window);
    object.reset();
    return image;
}

SessionTimeline sampleRun() {
    auto segment = [](SessionTimeline::Kind kind, double start, double end, const char* phrase) {
        SessionTimeline::Segment s;
        s.kind = kind;
        s.start = start;
        s.end = end;
        s.phrase = QString::fromLatin1(phrase);
        return s;
    };
    using K = SessionTimeline::Kind;
    return normaliseTimeline({segment(K::Related, 0, 24, "Designed the landing page"),
                              segment(K::Detour, 24, 40, "Watched a Tokyo ramen tour on YouTube"),
                              segment(K::Related, 40, 52, "Designed the landing page"),
                              segment(K::Related, 52, 70, "Watched a landing page tutorial on YouTube")},
                             70);
}

// The coach on `beat`; with `fromBeat`, half-way through the cross-fade from that beat's content.
QImage coach(QmlHarness& h, int beat, bool drifting, bool timeline, int fromBeat = -1) {
    ManualClock clock;
    CoachModel model;
    model.setClock(&clock);
    model.setBeat(fromBeat >= 0 ? fromBeat : beat);
    if (drifting) {
        model.setDriftStarted(clock.date());
        clock.advance(2.25);
    }
    if (timeline)
        model.setSampleTimeline(sampleRun(), clock.date(), true);
    model.tick();
    auto object = h.create(component("RehearsalCoach"), {{"model", QVariant::fromValue(&model)}});
    auto* item = qobject_cast<QQuickItem*>(object.get());
    const int height = item ? int(item->implicitHeight()) : 300;
    if (fromBeat >= 0)
        return grab(h, std::move(object), 440, height, 100, "#8a8f98", [&] { model.setBeat(beat); });
    return grab(h, std::move(object), 440, height, 300);
}

QImage pointer(QmlHarness& h, int beat, bool down) {
    auto object = h.create(component("MenuBarPointer"), {{"beat", beat}, {"pointsDown", down}});
    return grab(h, std::move(object), 200, 80, 400);
}

QImage design(QmlHarness& h, int beat) {
    auto object = h.create(component("DesignPage"), {{"beat", beat}, {"animated", false}, {"reduceMotion", true}});
    if (auto* item = qobject_cast<QQuickItem*>(object.get()))
        item->setSize({820, 540});
    return grab(h, std::move(object), 820, 540, 100);
}

QImage landing(QmlHarness& h, int progress) {
    auto object = h.create(component("LandingPage"), {{"progress", progress}, {"animated", false},
                                                      {"reduceMotion", true}});
    if (auto* item = qobject_cast<QQuickItem*>(object.get()))
        item->setSize({442, 420});
    // The design page paints it on white.
    return grab(h, std::move(object), 442, 420, 100, "white");
}

QImage asked(QmlHarness& h, bool pressed) {
    auto object = h.createFromText("import QtQuick\nimport Tavrine.Ui\n"
                                   "Rectangle { width: 260; height: 80; color: 'white'\n"
                                   " RehearsalAskedButtonStyle { objectName: 'button'; anchors.centerIn: parent;"
                                   " text: 'Get back to work'; still: true } }");
    auto* root = qobject_cast<QQuickItem*>(object.get());
    if (!root)
        return {};
    auto window = showInWindow(root, 260, 80);
    QQuickItem* button = findItem(root, "button");
    const QPoint centre = button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint();
    if (pressed)
        QTest::mousePress(window.get(), Qt::LeftButton, {}, centre);
    QTest::qWait(50);
    QImage image = grabScene(*window);
    if (pressed)
        QTest::mouseRelease(window.get(), Qt::LeftButton, {}, centre);
    return image;
}

void addScenes(std::vector<RenderScene>& scenes) {
    const char* beats[] = {"working", "tempted", "drifting", "nudged", "returned", "researching", "finished"};
    for (int beat = 0; beat < 7; ++beat)
        scenes.push_back({"rehearsal-coach", beats[beat], [beat](QmlHarness& h) { return coach(h, beat, false, false); }});
    scenes.push_back({"rehearsal-coach", "drifting-22", [](QmlHarness& h) { return coach(h, 2, true, false); }});
    scenes.push_back({"rehearsal-coach", "working-to-tempted-midway",
                      [](QmlHarness& h) { return coach(h, 1, false, false, 0); }});
    scenes.push_back({"rehearsal-coach", "finished-timeline", [](QmlHarness& h) { return coach(h, 6, false, true); }});
    scenes.push_back({"rehearsal-pointer", "green", [](QmlHarness& h) { return pointer(h, 0, false); }});
    scenes.push_back({"rehearsal-pointer", "red", [](QmlHarness& h) { return pointer(h, 2, false); }});
    scenes.push_back({"rehearsal-pointer", "flipped", [](QmlHarness& h) { return pointer(h, 0, true); }});
    for (int beat : {0, 4, 6})
        scenes.push_back({"rehearsal-design", beats[beat], [beat](QmlHarness& h) { return design(h, beat); }});
    for (int progress = 0; progress <= 2; ++progress)
        scenes.push_back({"rehearsal-landing", QString::number(progress),
                          [progress](QmlHarness& h) { return landing(h, progress); }});
    scenes.push_back({"rehearsal-asked", "idle", [](QmlHarness& h) { return asked(h, false); }});
    scenes.push_back({"rehearsal-asked", "pressed", [](QmlHarness& h) { return asked(h, true); }});
}

} // namespace

TAVRINE_RENDER_SCENES(addScenes)

} // namespace tavrine::test

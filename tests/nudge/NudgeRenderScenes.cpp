// The nudge card, its close button and the notch panel in their main states, for scripts/render-views.
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"
#include "tavrine/nudge/FrameTime.h"
#include "tavrine/nudge/NotchNudgeState.h"
#include "tavrine/nudge/NudgeHoverState.h"
#include "tavrine/speech/NudgeVoiceMeter.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QQuickItem>
#include <QQuickWindow>

using namespace tavrine;
using namespace tavrine::test;

namespace {

const QString kReason = QStringLiteral("Nice detour, but the quarterly report is waiting. Back to the numbers?");

QImage grab(QQuickItem* item, int width = 0, int height = 0) {
    auto window = showInWindow(item, width, height);
    window->setColor(Qt::transparent);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    return grabScene(*window);
}

// A card as the floating panel shows it, on its surface, with the glow when a meter is given.
QImage card(QmlHarness& h, bool rehearsal, NudgeVoiceMeter* meter) {
    auto object = h.createFromText(
        "import QtQuick\nimport Tavrine.Nudge\n"
        "Item { id: root; property bool rehearsal; property NudgeVoiceMeter meter: null\n"
        "  implicitWidth: content.implicitWidth; implicitHeight: content.implicitHeight\n"
        "  NudgeSurface { anchors.fill: parent }\n"
        "  NudgeCardContent { id: content; anchors.fill: parent; reason: '" + kReason.toUtf8() + "'\n"
        "    intention: root.rehearsal ? 'Design the landing page' : 'Write the quarterly report'\n"
        "    pointsAtBack: root.rehearsal; voice: root.meter; reduceMotion: true }\n"
        "  NudgeVoiceGlow { anchors.fill: parent; meter: root.meter; visible: root.meter !== null; reduceMotion: true }\n"
        "}",
        {{QStringLiteral("rehearsal"), rehearsal}, {QStringLiteral("meter"), QVariant::fromValue<QObject*>(meter)}});
    return grab(qobject_cast<QQuickItem*>(object.get()));
}

QImage closeButton(QmlHarness& h, bool dark) {
    const QPalette previous = QGuiApplication::palette();
    QPalette palette = previous;
    palette.setColor(QPalette::Window, dark ? QColor(0x24, 0x24, 0x24) : QColor(0xf0, 0xf0, 0xf0));
    palette.setColor(QPalette::WindowText, dark ? Qt::white : Qt::black);
    QGuiApplication::setPalette(palette);
    nudge::NudgeHoverState hover;
    hover.setCard(true);
    auto object = h.create(ui::componentUrl(QStringLiteral("Tavrine.Nudge"), QStringLiteral("NudgeCloseButton")),
                           {{QStringLiteral("hover"), QVariant::fromValue<QObject*>(&hover)}});
    const QImage image = grab(qobject_cast<QQuickItem*>(object.get()));
    QGuiApplication::setPalette(previous);
    return image;
}

QImage notch(QmlHarness& h, bool open) {
    nudge::NotchNudgeState state;
    state.setReason(kReason);
    state.setIntention(QStringLiteral("Write the quarterly report"));
    auto object = h.create(ui::componentUrl(QStringLiteral("Tavrine.Nudge"), QStringLiteral("NotchNudgeView")),
                           {{QStringLiteral("panelState"), QVariant::fromValue<QObject*>(&state)},
                            {QStringLiteral("translucent"), false}});
    state.setIsOpen(open);
    auto* item = qobject_cast<QQuickItem*>(object.get());
    return grab(item, 508, int(item->implicitHeight()));
}

void addNudgeScenes(std::vector<RenderScene>& scenes) {
    scenes.push_back({QStringLiteral("nudge-card"), QStringLiteral("plain"),
                      [](QmlHarness& h) { return card(h, false, nullptr); }});
    scenes.push_back({QStringLiteral("nudge-card"), QStringLiteral("rehearsal"),
                      [](QmlHarness& h) { return card(h, true, nullptr); }});
    scenes.push_back({QStringLiteral("nudge-card"), QStringLiteral("mid-speech"), [](QmlHarness& h) {
                          NudgeVoiceMeter meter;
                          meter.reset();
                          meter.setPending(true);
                          SpeechWordProgress progress;
                          for (int i = 0; i < 40; ++i)
                              progress.characterStarts.append(i * 0.05);
                          progress.now = 1.9;
                          meter.attach(meter.token(), [] { return 0.6f; },
                                       [progress] { return std::optional(progress); });
                          return card(h, false, &meter);
                      }});
    scenes.push_back({QStringLiteral("nudge-close"), QStringLiteral("light"),
                      [](QmlHarness& h) { return closeButton(h, false); }});
    scenes.push_back({QStringLiteral("nudge-close"), QStringLiteral("dark"),
                      [](QmlHarness& h) { return closeButton(h, true); }});
    scenes.push_back({QStringLiteral("nudge-notch"), QStringLiteral("closed"),
                      [](QmlHarness& h) { return notch(h, false); }});
    scenes.push_back({QStringLiteral("nudge-notch"), QStringLiteral("open"),
                      [](QmlHarness& h) { return notch(h, true); }});
}

} // namespace

TAVRINE_RENDER_SCENES(addNudgeScenes)

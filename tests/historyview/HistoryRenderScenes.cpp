// The history window, the timeline, the recap card and the recap view with its share popup, as
// scripts/render-views draws them: light, and dark where the window follows the system's colours.
#include "historyview/HistorySamples.h"
#include "support/DarkScheme.h"
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"
#include "tavrine/core/Clock.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryBrowser.h"
#include "tavrine/historyview/RecapViewModel.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

namespace tavrine::test {

namespace {

const DarkScheme* currentScheme = nullptr;

// Draws `draw` with the application in the dark colours, or the light ones it had.
QImage inScheme(bool dark, const std::function<QImage()>& draw) {
    const DarkScheme scheme(dark);
    currentScheme = &scheme;
    QImage image = draw();
    currentScheme = nullptr;
    return image;
}

// Gives the root of a scene, and so every control in it, the palette of the scheme being drawn.
void scheme(QQuickItem* root) {
    if (currentScheme)
        currentScheme->apply(root);
}

// What a user does to a scene's window before it is drawn (taps), nothing when empty.
using UserSteps = std::function<void(QQuickWindow&)>;

// `handPalette` false leaves the controls the palette the style took as it loaded, as the application's own
// windows do: a view must then take the desktop's colours itself.
QImage grab(QQuickItem* item, int width, int height, bool handPalette = true, const UserSteps& steps = {}) {
    if (handPalette)
        scheme(item);
    item->setSize(QSizeF(width, height));
    auto window = showInWindow(item, width, height);
    window->setColor(QGuiApplication::palette().color(QPalette::Window));
    QCoreApplication::processEvents();
    if (steps)
        steps(*window);
    QImage image = grabScene(*window);
    item->setParentItem(nullptr);
    return image;
}

// A few sessions over the last days, in a store of their own.
struct HistoryScene {
    QTemporaryDir folder;
    MemoryUserDefaults notes;
    ManualClock clock{1000, sceneNow()};
    std::unique_ptr<SessionHistory> history;
    std::unique_ptr<HistoryBrowser> browser;

    explicit HistoryScene(bool withSessions, bool unreadableFile = false, bool lostAtQuit = false) {
        SessionHistory::Options options;
        options.folder = folder.path();
        options.notes = &notes;
        if (lostAtQuit) {
            // The run before could not save its last session when it quit.
            notes.setInteger(QString::fromLatin1(SessionHistory::lostCountKey), 1);
            notes.setString(QString::fromLatin1(SessionHistory::lostReasonKey),
                            QStringLiteral("database or disk is full"));
        }
        if (unreadableFile) {
            QFile garbage(folder.filePath(SessionHistory::fileName()));
            if (garbage.open(QIODevice::WriteOnly))
                garbage.write(QByteArray(4096, 'x'));
        }
        history = std::make_unique<SessionHistory>(options);
        if (withSessions) {
            for (const SessionSummary& summary : sampleHistory(sceneNow()))
                history->record(summary, sceneNow());
        }
        browser = std::make_unique<HistoryBrowser>(history.get(), clock);
    }
};

QImage historyWindow(QmlHarness& h, bool withSessions, bool dark, bool unreadableFile = false, bool lostAtQuit = false,
                     const UserSteps& steps = {}) {
    return inScheme(dark, [&] {
        HistoryScene scene(withSessions, unreadableFile, lostAtQuit);
        // As the History window holds it: on the desktop's window colour, the palette not handed down.
        auto view =
            h.createFromText("import QtQuick\nimport Tavrine.HistoryView\n"
                             "Rectangle { id: root; color: system.window; required property HistoryBrowser browser\n"
                             "  SystemPalette { id: system }\n"
                             "  SessionHistoryView { anchors.fill: parent; browser: root.browser } }",
                             {{QStringLiteral("browser"), QVariant::fromValue(scene.browser.get())}});
        if (!view)
            return QImage();
        return grab(qobject_cast<QQuickItem*>(view.get()), 720, 480, false, steps);
    });
}

// The timeline as the History window shows it (unfolding the selection), or as the recap does (the clues card).
QImage timeline(QmlHarness& h, int selection, bool inRecap, bool dark) {
    return inScheme(dark, [&] {
        TimelineModel model;
        const SessionSummary summary = sampleRecapSummary(sceneNow().date());
        model.setTimeline(summary.timeline, summary.startedAt.toLocalTime());
        auto view = h.createFromText(
            "import QtQuick\nimport QtQuick.Controls\nimport Tavrine.HistoryView\n"
            "Pane { id: root; padding: 12; required property TimelineModel model; property int selection: -1\n"
            "  property bool inRecap: false\n"
            "  SessionTimelineView { anchors.fill: parent; model: root.model; selection: root.selection\n"
            "    showsCluesOverTimeline: root.inRecap; expandsSelection: !root.inRecap } }",
            {{QStringLiteral("model"), QVariant::fromValue(&model)},
             {QStringLiteral("selection"), selection},
             {QStringLiteral("inRecap"), inRecap}});
        if (!view)
            return QImage();
        return grab(qobject_cast<QQuickItem*>(view.get()), 396, inRecap ? 204 : 324);
    });
}

QImage recapCard(QmlHarness& h) {
    RecapCardModel card;
    card.setSummary(sampleRecapSummary(sceneNow().date()));
    auto view = h.createFromText("import QtQuick\nimport Tavrine.HistoryView\n"
                                 "Rectangle { id: root; color: \"#d8d8dc\"; width: 392; height: shown.height + 48\n"
                                 "  required property RecapCardModel card\n"
                                 "  SessionRecapCard { id: shown; x: 24; y: 24; card: root.card } }",
                                 {{QStringLiteral("card"), QVariant::fromValue(&card)}});
    if (!view)
        return QImage();
    auto* item = qobject_cast<QQuickItem*>(view.get());
    return grab(item, int(item->width()), int(item->height()));
}

enum class RecapState { BeforeImage, WithImage, SharePopup };

QImage recapView(QmlHarness& h, RecapState state, bool dark, bool unsaved = false, const UserSteps& steps = {}) {
    return inScheme(dark, [&] {
        // Without an engine the model never makes an image: the state before it is ready (or after it failed).
        RecapViewModel model(nullptr, state == RecapState::BeforeImage ? nullptr : &h.engine());
        model.setSummary(sampleRecapSummary(sceneNow().date()));
        // A store that cannot be opened at all keeps the session waiting, with the reason.
        QTemporaryDir folder;
        SessionHistory::Options options;
        options.folder = folder.path();
        options.driver = QStringLiteral("QNOSUCHDRIVER");
        SessionHistory history(options);
        if (unsaved) {
            history.record(sampleRecapSummary(sceneNow().date()), sceneNow());
            model.setHistory(&history);
        }
        auto view = h.createFromText("import QtQuick\nimport QtQuick.Controls\nimport Tavrine.HistoryView\n"
                                     "Pane { id: root; padding: 0; required property RecapViewModel model\n"
                                     "  SessionRecapView { id: recap; width: parent.width; model: root.model } }",
                                     {{QStringLiteral("model"), QVariant::fromValue(&model)}});
        if (!view)
            return QImage();
        auto* item = qobject_cast<QQuickItem*>(view.get());
        scheme(item);
        item->setSize(QSizeF(420, 720));
        auto window = showInWindow(item, 420, 720);
        if (state != RecapState::BeforeImage && !QTest::qWaitFor([&] { return model.hasShareImage(); }))
            return QImage();
        if (steps)
            steps(*window);
        if (state == RecapState::SharePopup) {
            QMetaObject::invokeMethod(findObject(view.get(), QStringLiteral("sharePopup")), "open");
            QTest::qWait(400); // the popup's and its dimmer's fade
        }
        QCoreApplication::processEvents();
        QImage image = grabScene(*window);
        item->setParentItem(nullptr);
        return image;
    });
}

void addHistoryScenes(std::vector<RenderScene>& scenes) {
    scenes.push_back({"history-window", "sessions", [](QmlHarness& h) { return historyWindow(h, true, false); }});
    scenes.push_back({"history-window", "sessions-dark", [](QmlHarness& h) { return historyWindow(h, true, true); }});
    scenes.push_back({"history-window", "empty", [](QmlHarness& h) { return historyWindow(h, false, false); }});
    scenes.push_back({"history-window", "empty-dark", [](QmlHarness& h) { return historyWindow(h, false, true); }});
    scenes.push_back(
        {"history-window", "set-aside", [](QmlHarness& h) { return historyWindow(h, true, false, true); }});
    scenes.push_back(
        {"history-window", "lost-at-quit", [](QmlHarness& h) { return historyWindow(h, true, false, false, true); }});
    scenes.push_back({"history-timeline", "plain", [](QmlHarness& h) { return timeline(h, -1, false, false); }});
    scenes.push_back({"history-timeline", "selected",
                      [](QmlHarness& h) { return timeline(h, sampleSelectedSegment, false, false); }});
    scenes.push_back({"history-timeline", "selected-dark",
                      [](QmlHarness& h) { return timeline(h, sampleSelectedSegment, false, true); }});
    scenes.push_back({"history-timeline", "recap-clues",
                      [](QmlHarness& h) { return timeline(h, sampleSelectedSegment, true, false); }});
    scenes.push_back({"history-recapcard", "detours", [](QmlHarness& h) { return recapCard(h); }});
    scenes.push_back({"history-recapview", "before-image",
                      [](QmlHarness& h) { return recapView(h, RecapState::BeforeImage, false); }});
    scenes.push_back(
        {"history-recapview", "with-image", [](QmlHarness& h) { return recapView(h, RecapState::WithImage, false); }});
    scenes.push_back({"history-recapview", "with-image-dark",
                      [](QmlHarness& h) { return recapView(h, RecapState::WithImage, true); }});
    scenes.push_back({"history-recapview", "unsaved",
                      [](QmlHarness& h) { return recapView(h, RecapState::WithImage, false, true); }});
    scenes.push_back({"history-recapview", "share-popup",
                      [](QmlHarness& h) { return recapView(h, RecapState::SharePopup, false); }});
    scenes.push_back({"history-recapview", "share-popup-dark",
                      [](QmlHarness& h) { return recapView(h, RecapState::SharePopup, true); }});
    // What a tap changes: another session in the list, a block of the recap's timeline (its clues over the
    // timeline), then the clues card itself (which clears the selection).
    scenes.push_back({"history-window", "tap-second-session", [](QmlHarness& h) {
                          return historyWindow(h, true, false, false, false, [](QQuickWindow& window) {
                              tapItem(window, QStringLiteral("historyRow"), 1);
                          });
                      }});
    // A popup over the dark window takes its colours: a row's menu (a right click).
    scenes.push_back({"history-window", "row-menu-dark", [](QmlHarness& h) {
                          return historyWindow(h, true, true, false, false, [](QQuickWindow& window) {
                              QQuickItem* row = findItem(window.contentItem(), QStringLiteral("historyRow"));
                              if (!row)
                                  return;
                              const QPointF middle(row->width() / 2, row->height() / 2);
                              QTest::mouseClick(&window, Qt::RightButton, {}, row->mapToScene(middle).toPoint());
                              QTest::qWait(300); // the menu's fade
                          });
                      }});
    scenes.push_back({"history-recapview", "tap-detour", [](QmlHarness& h) {
                          return recapView(h, RecapState::WithImage, false, false, [](QQuickWindow& window) {
                              tapItem(window, QStringLiteral("timelineBlock"), sampleSelectedSegment);
                          });
                      }});
    scenes.push_back({"history-recapview", "tap-detour-then-clues", [](QmlHarness& h) {
                          return recapView(h, RecapState::WithImage, false, false, [](QQuickWindow& window) {
                              tapItem(window, QStringLiteral("timelineBlock"), sampleSelectedSegment);
                              settledPicture(window);
                              tapItem(window, QStringLiteral("timelineClues"));
                          });
                      }});
}

TAVRINE_RENDER_SCENES(addHistoryScenes)

} // namespace

} // namespace tavrine::test

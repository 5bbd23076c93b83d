// The recorder's states for scripts/render-views: showing Super+Alt+P, empty, recording, and a warning alert.
#include "globalshortcuts/RecorderChecks.h"
#include "globalshortcuts/Registry.h"
#include "globalshortcuts/Texts.h"
#include "globalshortcuts/qml/QmlValues.h"
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

namespace {

using namespace globalshortcuts;

class SampleLayout final : public KeyboardLayout {
public:
    std::optional<QString> character(qint64 code) const override {
        return code == 35 ? std::optional<QString>(QStringLiteral("p")) : std::nullopt;
    }
};

QImage renderRecorder(tavrine::test::QmlHarness& harness, bool stored, bool recording, bool alert) {
    static SampleLayout layout;
    static MemoryPreferences preferences;
    Registry::instance().install({&preferences, nullptr, &layout, nullptr, nullptr, nullptr});
    const Name name = Name::fromRawValue(QStringLiteral("renderedName"));
    Registry::instance().setShortcut(
        stored ? std::optional<Shortcut>(Shortcut::fromCarbon(35, Carbon::option | Carbon::command)) : std::nullopt,
        name);
    auto root = harness.createFromText(R"(
import QtQuick
import QtQuick.Controls
import GlobalShortcuts
Pane {
    id: root
    property var name
    width: 380; height: 200
    ShortcutRecorder { objectName: "recorder"; label: "Open Tavrine"; name: root.name }
}
)",
                                       {{"name", QVariant::fromValue(ShortcutNameValue(name))}});
    auto* item = qobject_cast<QQuickItem*>(root.get());
    auto window = tavrine::test::showInWindow(item, 380, alert ? 200 : 60);
    window->requestActivate();
    (void)QTest::qWaitForWindowActive(window.get());
    QTest::qWait(1);
    QObject* recorder = tavrine::test::findObject(item, "recorder");
    auto* controller = recorder->property("controller").value<QObject*>();
    if (recording || alert)
        tavrine::test::findItem(recorder, "recorderField")->forceActiveFocus();
    if (alert)
        QMetaObject::invokeMethod(
            controller, "alertRequested",
            Q_ARG(QString, localizedText(QStringLiteral("keyboard_shortcut_used_by_system"))),
            Q_ARG(QString, localizedText(QStringLiteral("keyboard_shortcuts_can_be_changed"))),
            Q_ARG(QStringList, QStringList({localizedText(QStringLiteral("ok")),
                                            localizedText(QStringLiteral("force_use_shortcut"))})));
    QTest::qWait(50);
    QImage image = tavrine::test::grabScene(*window);
    Registry::instance().setRecorderActive(false);
    return image;
}

void addRecorderScenes(std::vector<tavrine::test::RenderScene>& scenes) {
    scenes.push_back({"shortcut-recorder", "shortcut",
                      [](tavrine::test::QmlHarness& h) { return renderRecorder(h, true, false, false); }});
    scenes.push_back({"shortcut-recorder", "empty",
                      [](tavrine::test::QmlHarness& h) { return renderRecorder(h, false, false, false); }});
    scenes.push_back({"shortcut-recorder", "recording",
                      [](tavrine::test::QmlHarness& h) { return renderRecorder(h, true, true, false); }});
    scenes.push_back({"shortcut-recorder", "warning",
                      [](tavrine::test::QmlHarness& h) { return renderRecorder(h, true, false, true); }});
}

} // namespace

TAVRINE_RENDER_SCENES(addRecorderScenes)

// Scenes of the shared view pieces for scripts/render-views: tray icons, pill buttons, frosted windows, the
// duration selector as it first shows and after a tap.
#include "fakes/FakeCompositing.h"
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/ui/DurationModel.h"
#include "tavrine/ui/Frosted.h"
#include "tavrine/ui/QmlEngineSetup.h"
#include "tavrine/ui/TrayLabel.h"

#include <QPainter>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

namespace tavrine::test {

namespace {

QImage trayIcons() {
    using B = MenuBarSessionBackground;
    const ui::TrayLabelState states[] = {
        {},
        {true, "25:03", B::None},
        {true, "25:03", B::Relevant},
        {true, "07:41", B::Unrelated},
        {true, "00:12", B::DriftPending},
        {true, "179:59", B::Relevant},
    };
    // Each icon at the size a panel shows it (24) and as drawn (64), on a dark and a light panel.
    QImage sheet(6 * 100, 2 * 100, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int row = 0; row < 2; ++row) {
        const QColor panel = row == 0 ? QColor(40, 40, 40) : QColor(235, 235, 235);
        const QColor ink = row == 0 ? QColor(Qt::white) : QColor(Qt::black);
        painter.fillRect(0, row * 100, sheet.width(), 100, panel);
        for (int i = 0; i < 6; ++i) {
            ui::TrayIconRenderer renderer;
            const QImage icon = renderer.render(states[i], ink);
            painter.drawImage(QRect(i * 100 + 4, row * 100 + 18, 64, 64), icon);
            painter.drawImage(QRect(i * 100 + 72, row * 100 + 38, 24, 24), icon);
        }
    }
    return sheet;
}

QImage grabQml(QmlHarness& h, const QByteArray& qml, int width, int height) {
    auto object = h.createFromText(qml);
    auto* item = qobject_cast<QQuickItem*>(object.get());
    if (!item)
        return {};
    auto window = showInWindow(item, width, height);
    QImage image = grabScene(*window);
    object.reset();
    return image;
}

QImage pills(QmlHarness& h, bool dark) {
    const QByteArray scheme = dark ? "true" : "false";
    const QByteArray backdrop = dark ? "'#262626'" : "'#f2f2f2'";
    return grabQml(h,
                   "import QtQuick\nimport Tavrine.Ui\n"
                   "Rectangle { width: 520; height: 200; color: " +
                       backdrop +
                       "\n"
                       " Column { x: 16; y: 16; spacing: 12\n"
                       "  Row { spacing: 10\n"
                       "   PillButton { text: 'Start'; dark: " +
                       scheme +
                       " }\n"
                       "   PillButton { text: 'Selected'; selected: true; dark: " +
                       scheme +
                       " }\n"
                       "   PillButton { text: 'Disabled'; enabled: false; dark: " +
                       scheme +
                       " }\n"
                       "   PillButton { text: '+'; shape: PillButton.Circle; dark: " +
                       scheme +
                       " }\n"
                       "   PillButton { text: '×'; shape: PillButton.Circle; diameter: 24; dark: " +
                       scheme +
                       " } }\n"
                       "  Row { spacing: 10\n"
                       "   PillButton { text: 'Mini'; controlSize: PillMetrics.Mini; dark: " +
                       scheme +
                       " }\n"
                       "   PillButton { text: 'Small'; controlSize: PillMetrics.Small; dark: " +
                       scheme +
                       " }\n"
                       "   PillButton { text: 'Large'; controlSize: PillMetrics.Large; dark: " +
                       scheme +
                       " }\n"
                       "   PillButton { text: 'Extra large'; controlSize: PillMetrics.ExtraLarge; dark: " +
                       scheme +
                       " } }\n"
                       "  PillButton { text: 'Get back to work on what you said you would do'; dark: " +
                       scheme + " } } }",
                   520, 200);
}

// `compositor`: one that blurs what lies behind.
QImage frostedWindow(QmlHarness& h, bool compositor) {
    test::FakeCompositing desktop(compositor, compositor);
    ui::Frosted::useCompositing(h.engine(), &desktop);
    struct Restore {
        QQmlEngine& engine;
        ~Restore() { ui::Frosted::useCompositing(engine, nullptr); }
    } restore{h.engine()};
    auto object = h.createFromText("import QtQuick\nimport Tavrine.Ui\n"
                                   "Window { width: 320; height: 160\n"
                                   "  FrostedWindowBackground {}\n"
                                   "  PillButton { anchors.centerIn: parent; text: 'History' } }");
    auto* window = qobject_cast<QQuickWindow*>(object.get());
    QImage image;
    if (window) {
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            return {};
        image = grabScene(*window);
        // What the desktop would show through: a checker pattern under the window's pixels.
        QImage composed(image.size(), QImage::Format_ARGB32);
        QPainter painter(&composed);
        for (int y = 0; y < composed.height(); y += 16)
            for (int x = 0; x < composed.width(); x += 16)
                painter.fillRect(x, y, 16, 16, ((x + y) / 16) % 2 ? QColor(70, 120, 200) : QColor(230, 160, 60));
        painter.drawImage(0, 0, image);
        painter.end();
        image = composed;
    }
    return image;
}

// The selector on a window's ground, `minutes` planned, after a tap on the segment named `tapped` (none: as it
// first shows).
QImage durationSelector(QmlHarness& h, int minutes, bool dark, const QString& tapped = {}) {
    MemoryUserDefaults defaults;
    ui::DurationModel model(defaults, minutes);
    auto object = h.createFromText(
        "import QtQuick\nimport Tavrine.Ui\n"
        "Rectangle { id: root; width: 376; height: 64; required property var model\n"
        "  required property bool dark; color: dark ? '#262626' : '#f2f2f2'\n"
        "  DurationSelector { x: 16; y: 8; width: 344; model: root.model; dark: root.dark } }",
        {{QStringLiteral("model"), QVariant::fromValue<QObject*>(&model)}, {QStringLiteral("dark"), dark}});
    auto* item = qobject_cast<QQuickItem*>(object.get());
    if (!item)
        return {};
    auto window = showInWindow(item, 376, 64);
    if (!tapped.isEmpty() && !tapItem(*window, tapped))
        return {};
    return grabScene(*window);
}

void registerUiScenes(std::vector<RenderScene>& scenes) {
    scenes.push_back({"TrayIcon", "states", [](QmlHarness&) { return trayIcons(); }});
    scenes.push_back({"PillButton", "dark", [](QmlHarness& h) { return pills(h, true); }});
    scenes.push_back({"PillButton", "light", [](QmlHarness& h) { return pills(h, false); }});
    scenes.push_back({"FrostedWindow", "compositor", [](QmlHarness& h) { return frostedWindow(h, true); }});
    scenes.push_back({"FrostedWindow", "noCompositor", [](QmlHarness& h) { return frostedWindow(h, false); }});
    scenes.push_back({"DurationSelector", "first-30", [](QmlHarness& h) { return durationSelector(h, 30, false); }});
    scenes.push_back(
        {"DurationSelector", "first-30-dark", [](QmlHarness& h) { return durationSelector(h, 30, true); }});
    scenes.push_back(
        {"DurationSelector", "first-custom", [](QmlHarness& h) { return durationSelector(h, 60, false); }});
    scenes.push_back({"DurationSelector", "tap-45",
                      [](QmlHarness& h) { return durationSelector(h, 30, false, QStringLiteral("preset45")); }});
    scenes.push_back({"DurationSelector", "tap-more",
                      [](QmlHarness& h) { return durationSelector(h, 30, false, QStringLiteral("moreMinutes")); }});
}

} // namespace

TAVRINE_RENDER_SCENES(registerUiScenes)

} // namespace tavrine::test

// Draws every registered view state into PNG files, so a change to a view can be looked at before it lands.
// Usage: tavrine-render-views [--dark-contrast] OUTPUT_FOLDER [VIEW_PREFIX]
// With --dark-contrast every scene is drawn under a dark desktop palette, and the program fails when a text or
// a tinted symbol reads too faintly on what lies behind it, or is drawn black on light as the light scheme is.
#include "support/ContrastCheck.h"
#include "support/DarkScheme.h"
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"

#include <QApplication>
#include <QDir>
#include <QQuickWindow>
#include <algorithm>
#include <cstdio>

namespace tavrine::test {

namespace {

bool checkingContrast = false;
QStringList contrastFaultLines;

// The recap card keeps its paper and its inks in any scheme, as the shared picture does.
const QStringList fixedColours{QStringLiteral("recapCard")};
// Views that draw a scheme of their own whatever the desktop's: the nudge card on its own surface, the
// rehearsal's staged desktop (a mock design tool, a video site, the coach), and the shortcut recorder drawn
// alone on the style's own field (in the settings window it takes the window's colours).
const QStringList fixedSchemeScenes{QStringLiteral("nudge-"), QStringLiteral("rehearsal-"),
                                    QStringLiteral("shortcut-recorder")};
QString currentScene;

} // namespace

std::vector<RenderScene>& renderScenes() {
    static std::vector<RenderScene> scenes;
    return scenes;
}

QImage grabScene(QQuickWindow& window) {
    QImage image = window.grabWindow();
    const bool fixedScheme = std::any_of(fixedSchemeScenes.cbegin(), fixedSchemeScenes.cend(),
                                         [](const QString& prefix) { return currentScene.startsWith(prefix); });
    if (checkingContrast && !fixedScheme) {
        for (const ContrastFault& fault : contrastFaults(window, fixedColours))
            contrastFaultLines.append(QStringLiteral("  %1: %2 on %3, %4:1 (%5)")
                                          .arg(fault.where, fault.ink.name(), fault.ground.name(),
                                               QString::number(fault.ratio, 'f', 2),
                                               fault.lightScheme ? QStringLiteral("black on light in a dark palette")
                                                                 : QStringLiteral("needs %1:1").arg(fault.required)));
    }
    return image;
}

} // namespace tavrine::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    using tavrine::test::checkingContrast;
    checkingContrast = arguments.removeAll(QStringLiteral("--dark-contrast")) > 0;
    if (arguments.isEmpty()) {
        std::fputs("usage: tavrine-render-views [--dark-contrast] OUTPUT_FOLDER [VIEW_PREFIX]\n", stderr);
        return 2;
    }
    if (checkingContrast) {
        // Before any view loads, as a desktop theme hands it to the application at start.
        QGuiApplication::setPalette(tavrine::test::darkPalette());
        tavrine::test::DarkScheme::setEverywhere(true);
    }
    const QString folder = arguments.at(0);
    const QString prefix = arguments.value(1);
    int faultyScenes = 0;
    QDir().mkpath(folder);
    int failures = 0;
    int written = 0;
    for (const tavrine::test::RenderScene& scene : tavrine::test::renderScenes()) {
        if (!scene.view.startsWith(prefix))
            continue;
        tavrine::test::QmlHarness harness;
        tavrine::test::contrastFaultLines.clear();
        tavrine::test::currentScene = scene.view;
        const QImage image = scene.render(harness);
        const QString name = scene.view + QLatin1Char('-') + scene.state + QStringLiteral(".png");
        const QStringList warnings = harness.warnings();
        if (image.isNull() || !image.save(QDir(folder).filePath(name)) || !warnings.isEmpty()) {
            std::fprintf(stderr, "%s: not drawn cleanly\n%s\n", qPrintable(name), qPrintable(warnings.join('\n')));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(QDir(folder).filePath(name)));
        ++written;
        if (!tavrine::test::contrastFaultLines.isEmpty()) {
            std::fprintf(stderr, "%s: texts that read too faintly or in the light scheme\n%s\n", qPrintable(name),
                         qPrintable(tavrine::test::contrastFaultLines.join('\n')));
            ++faultyScenes;
        }
    }
    std::printf("%d drawn, %d failed", written, failures);
    if (checkingContrast)
        std::printf(", %d with texts that read too faintly or in the light scheme", faultyScenes);
    std::printf("\n");
    return failures == 0 && faultyScenes == 0 ? 0 : 1;
}

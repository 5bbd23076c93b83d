// Draws every registered view state into PNG files, so a change to a view can be looked at before it lands.
// Usage: tavrine-render-views OUTPUT_FOLDER [VIEW_PREFIX]
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

namespace tavrine::test {

std::vector<RenderScene>& renderScenes() {
    static std::vector<RenderScene> scenes;
    return scenes;
}

} // namespace tavrine::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: tavrine-render-views OUTPUT_FOLDER [VIEW_PREFIX]\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString prefix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QDir().mkpath(folder);
    int failures = 0;
    int written = 0;
    for (const tavrine::test::RenderScene& scene : tavrine::test::renderScenes()) {
        if (!scene.view.startsWith(prefix))
            continue;
        tavrine::test::QmlHarness harness;
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
    }
    std::printf("%d drawn, %d failed\n", written, failures);
    return failures == 0 ? 0 : 1;
}

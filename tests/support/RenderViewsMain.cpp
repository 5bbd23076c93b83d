// Draws every registered view state into PNG files, so a change to a view can be looked at before it lands, and
// compares them with the reference pictures kept in the tree (see usage()).
// With --dark-contrast every scene is drawn under a dark desktop palette, and the program fails when a text or
// a tinted symbol reads too faintly on what lies behind it, or is drawn black on light as the light scheme is.
#include "support/ContrastCheck.h"
#include "support/DarkScheme.h"
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"
#include "support/ViewPictures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QStyleHints>
#include <algorithm>
#include <cstdio>
#include <ctime>

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
// Scenes drawn in the middle of an animation on purpose, at a moment the wall clock picks: grabbed as they are,
// never settled, and not compared with a reference (no two runs catch the same frame).
const QStringList inMotionScenes{QStringLiteral("rehearsal-coach-working-to-tempted-midway")};
// The scene being drawn, "<view>-<state>".
QString currentScene;

// Pictures in the application's resources that show one of its views, under resources/, each drawn whole by the
// scene of that view: --references draws them again with the references, and --compare fails for one that no
// longer shows its view as it is (the Welcome page showed the main window of an older build).
struct ResourcePicture {
    const char* path;
    const char* scene;
};
const ResourcePicture resourcePictures[] = {{"onboarding/WelcomeShot.png", "main-window-setup"}};

// The resources folder of the tree whose references are in `referenceFolder` (tests/views).
QString resourcePath(const QString& referenceFolder, const char* path) {
    return QDir(referenceFolder).absoluteFilePath(QStringLiteral("../../resources/") + QLatin1String(path));
}

} // namespace

namespace {

// What turns over and over by the clock has no one state to draw, and two renders would catch it in two: a
// repeating timer (the headline's turn) is stopped where it stands, and an animation that loops for ever (a pulse,
// a zoom) is put at the end of a round. A change that ends by itself is left to end: settling waits for it. The
// caret stands still too (see main).
void holdPhases(QQuickItem* item) {
    for (QObject* child : item->children()) {
        if (child->inherits("QQmlTimer") && child->property("repeat").toBool())
            child->setProperty("running", false);
        else if (child->inherits("QQuickAbstractAnimation") && child->property("loops").toInt() < 0 &&
                 child->property("running").toBool())
            QMetaObject::invokeMethod(child, "complete");
    }
    for (QQuickItem* child : item->childItems())
        holdPhases(child);
}

} // namespace

QImage grabScene(QQuickWindow& window) {
    if (!inMotionScenes.contains(currentScene)) {
        QQuickItem* root = window.contentItem()->parentItem();
        holdPhases(root ? root : window.contentItem());
    }
    // Measuring contrast needs no settled picture, and the dark run is spared the wait.
    const bool settles = !checkingContrast && !inMotionScenes.contains(currentScene);
    const QImage image = settles ? settledPicture(window) : window.grabWindow();
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

namespace {

int usage() {
    std::fputs("usage: tavrine-render-views [--dark-contrast] OUTPUT_FOLDER [VIEW_PREFIX]\n"
               "       tavrine-render-views --references REFERENCE_FOLDER [VIEW_PREFIX]\n"
               "       tavrine-render-views --compare REFERENCE_FOLDER OUTPUT_FOLDER [VIEW_PREFIX]\n"
               "       tavrine-render-views --diff FOLDER_A FOLDER_B [DIFFERENCE_FOLDER]\n"
               "       tavrine-render-views --review OLD_REFERENCES NEW_REFERENCES REVIEW_FOLDER\n"
               "--references writes the reduced picture of every scene that strays from its reference (or has\n"
               "none) and removes the references of scenes that are gone; --compare draws every scene and fails\n"
               "for one that strays from its reference beyond the renderer's own run-to-run difference, writing\n"
               "the picture and reference | drawn | difference into OUTPUT_FOLDER; --diff compares two folders of\n"
               "drawn pictures pixel by pixel; --review draws old | new | difference for every reference that\n"
               "is new or not the same file.\n",
               stderr);
    return 2;
}

// The Qt Quick Controls styles loaded into this process: the style plugins mapped, by name ("basic", "fusion").
QStringList loadedControlsStyles() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    const QRegularExpression plugin(QStringLiteral("libqtquickcontrols2(\\w+)styleplugin\\.so"));
    QStringList styles;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QRegularExpressionMatch match = plugin.match(QString::fromLocal8Bit(line));
        if (match.hasMatch() && !styles.contains(match.captured(1)))
            styles.append(match.captured(1));
    }
    return styles;
}

// How many pixels of two pictures of one size differ at all, and the largest difference of a channel.
std::pair<int, int> pixelDifference(const QImage& first, const QImage& second) {
    const QImage a = first.convertToFormat(QImage::Format_ARGB32);
    const QImage b = second.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const int difference = stray(a.pixel(x, y), b.pixel(x, y));
            count += difference > 0 ? 1 : 0;
            largest = std::max(largest, difference);
        }
    }
    return {count, largest};
}

// Two folders of drawn pictures, file by file: how many pixels differ at all, the largest difference of a channel,
// and whether the second stays within the tolerance of the first's reduced picture; the differences beyond it
// drawn into `out` when given.
int diffFolders(const QString& first, const QString& second, const QString& out) {
    const QStringList names = QDir(first).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    int changed = 0;
    for (const QString& name : names) {
        const QImage a(QDir(first).filePath(name));
        const QImage b(QDir(second).filePath(name));
        if (b.isNull()) {
            std::printf("%-52s only in %s\n", qPrintable(name), qPrintable(first));
            ++changed;
            continue;
        }
        if (a.size() != b.size()) {
            std::printf("%-52s %dx%d against %dx%d\n", qPrintable(name), a.width(), a.height(), b.width(), b.height());
            ++changed;
            continue;
        }
        const auto [differing, largest] = pixelDifference(a, b);
        const PictureComparison reduced = compareWithReference(reducedPicture(a), b);
        if (differing > 0 || !reduced.matches)
            std::printf("%-52s %7d of %7lld pixels differ, by at most %3d; reduced: %5d beyond tolerance (%s)\n",
                        qPrintable(name), differing, qlonglong(a.width()) * a.height(), largest, reduced.changedPixels,
                        reduced.matches ? "within" : "CHANGED");
        changed += reduced.matches ? 0 : 1;
        if (!reduced.matches && !out.isEmpty() && QDir().mkpath(out))
            reduced.difference.save(QDir(out).filePath(name));
    }
    std::printf("%lld compared, %d changed beyond the tolerance\n", qlonglong(names.size()), changed);
    return changed == 0 ? 0 : 1;
}

// How one drawn scene stands against its reference; true when it matches. The picture and the difference are
// written into `folder` when it does not.
bool matchesReference(const QString& name, const QImage& drawn, const QString& referenceFolder, const QString& folder) {
    const QString referencePath = QDir(referenceFolder).filePath(name);
    const QImage reference(referencePath);
    const PictureComparison comparison = compareWithReference(reference, drawn);
    if (comparison.matches)
        return true;
    QString differencePath = QDir(folder).filePath(name);
    differencePath.replace(QRegularExpression(QStringLiteral("\\.png$")), QStringLiteral("-difference.png"));
    comparison.difference.save(differencePath);
    drawn.save(QDir(folder).filePath(name));
    if (reference.isNull())
        std::fprintf(stderr, "%s: no reference picture at %s\n", qPrintable(name), qPrintable(referencePath));
    else if (!comparison.sameSize)
        std::fprintf(stderr, "%s: drawn at another size than its reference\n", qPrintable(name));
    else
        std::fprintf(stderr, "%s: %d pixels changed (a channel by up to %d) against its reference\n", qPrintable(name),
                     comparison.changedPixels, comparison.largestChange);
    std::fprintf(stderr, "  reference | drawn | changed pixels in red: %s\n", qPrintable(differencePath));
    return false;
}

// Old | new | difference for every picture of `after` that is not the same file in `before`.
int reviewReferences(const QString& before, const QString& after, const QString& out) {
    QDir().mkpath(out);
    int reviewed = 0;
    for (const QString& name : QDir(after).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name)) {
        QFile old(QDir(before).filePath(name));
        QFile now(QDir(after).filePath(name));
        if (old.open(QIODevice::ReadOnly) && now.open(QIODevice::ReadOnly) && old.readAll() == now.readAll())
            continue;
        const QString sheet = QDir(out).filePath(name);
        referenceReview(QImage(old.fileName()), QImage(now.fileName())).save(sheet);
        std::printf("%s\n", qPrintable(sheet));
        ++reviewed;
    }
    std::printf("%d references to look at: old | new | changed in red\n", reviewed);
    return 0;
}

} // namespace

} // namespace tavrine::test

int main(int argc, char** argv) {
    using namespace tavrine::test;
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // The same clock times and number formats on every machine, as the reference pictures were drawn with.
    qputenv("TZ", "UTC");
    tzset();
    qputenv("LC_ALL", "C.UTF-8");
    // Animations advance on the GUI thread by the wall clock, however slowly a loaded machine draws the frames.
    qputenv("QSG_RENDER_LOOP", "basic");
    QApplication app(argc, argv);
    // A caret stands still, shown, as on a desktop that does not blink carets (and as one left alone for a while
    // stands): a blinking one is there in one render and gone in the next.
    QGuiApplication::styleHints()->setCursorFlashTime(0);
    QStringList arguments = app.arguments().mid(1);
    checkingContrast = arguments.removeAll(QStringLiteral("--dark-contrast")) > 0;
    const bool writingReferences = arguments.removeAll(QStringLiteral("--references")) > 0;
    const bool comparing = arguments.removeAll(QStringLiteral("--compare")) > 0;
    if (arguments.removeAll(QStringLiteral("--diff")) > 0)
        return arguments.size() >= 2 ? diffFolders(arguments.at(0), arguments.at(1), arguments.value(2)) : usage();
    if (arguments.removeAll(QStringLiteral("--review")) > 0)
        return arguments.size() == 3 ? reviewReferences(arguments.at(0), arguments.at(1), arguments.at(2)) : usage();
    if (arguments.isEmpty() || (comparing && arguments.size() < 2) ||
        int(checkingContrast) + writingReferences + comparing > 1)
        return usage();
    if (checkingContrast) {
        // Before any view loads, as a desktop theme hands it to the application at start.
        QGuiApplication::setPalette(darkPalette());
        DarkScheme::setEverywhere(true);
    }
    const QString referenceFolder = writingReferences || comparing ? arguments.takeFirst() : QString();
    const QString folder = writingReferences ? referenceFolder : arguments.takeFirst();
    const QString prefix = arguments.value(0);
    QDir().mkpath(folder);
    if (comparing) {
        // Only this run's pictures of changed views, none of a run before.
        for (const QString& stale : QDir(folder).entryList({QStringLiteral("*.png")}, QDir::Files))
            QFile::remove(QDir(folder).filePath(stale));
    }
    int failures = 0;
    int written = 0;
    int faultyScenes = 0;
    int changed = 0;
    QStringList drawnNames;
    for (const RenderScene& scene : renderScenes()) {
        if (!scene.view.startsWith(prefix))
            continue;
        QmlHarness harness;
        contrastFaultLines.clear();
        currentScene = scene.view + QLatin1Char('-') + scene.state;
        const QImage image = scene.render(harness);
        const QString name = currentScene + QStringLiteral(".png");
        const QStringList warnings = harness.warnings();
        const bool inMotion = inMotionScenes.contains(currentScene);
        if ((writingReferences || comparing) && !inMotion)
            drawnNames.append(name);
        // A scene drawn with a QML warning is no picture to keep.
        bool saved = !image.isNull() && warnings.isEmpty();
        if (saved && writingReferences && !inMotion) {
            // A reference the scene still matches stays as it is, so that redrawing changes only what changed.
            const QString path = QDir(folder).filePath(name);
            const QImage kept(path);
            if (kept.isNull() || !compareWithReference(kept, image).matches) {
                saved = reducedPicture(image).save(path, nullptr, 0);
                std::printf("%s %s\n", kept.isNull() ? "new" : "redrawn", qPrintable(path));
            }
        } else if (saved && !comparing && !writingReferences) {
            saved = image.save(QDir(folder).filePath(name));
        }
        if (!saved) {
            std::fprintf(stderr, "%s: not drawn cleanly\n%s\n", qPrintable(name), qPrintable(warnings.join('\n')));
            ++failures;
            continue;
        }
        ++written;
        for (const ResourcePicture& picture : resourcePictures) {
            if (currentScene != QLatin1String(picture.scene) || !(writingReferences || comparing))
                continue;
            const QString path = resourcePath(referenceFolder, picture.path);
            const QImage kept(path);
            if (!kept.isNull() && compareWithReference(reducedPicture(kept), image).matches)
                continue;
            if (writingReferences) {
                if (!image.convertToFormat(QImage::Format_RGB32).save(path, nullptr, 0)) {
                    std::fprintf(stderr, "%s: not written\n", qPrintable(path));
                    ++failures;
                }
                std::printf("redrawn %s\n", qPrintable(path));
                continue;
            }
            std::fprintf(stderr, "%s: no longer shows %s as it is drawn now (scripts/render-views --references)\n",
                         qPrintable(path), picture.scene);
            ++changed;
        }
        if (comparing) {
            if (!inMotion && !matchesReference(name, image, referenceFolder, folder))
                ++changed;
            continue;
        }
        if (writingReferences)
            continue;
        std::printf("%s\n", qPrintable(QDir(folder).filePath(name)));
        if (!contrastFaultLines.isEmpty()) {
            std::fprintf(stderr, "%s: texts that read too faintly or in the light scheme\n%s\n", qPrintable(name),
                         qPrintable(contrastFaultLines.join('\n')));
            ++faultyScenes;
        }
    }
    if ((comparing || writingReferences) && prefix.isEmpty()) {
        // A reference whose scene is gone would otherwise stay in the tree unnoticed; writing them, it goes.
        const QStringList kept = QDir(referenceFolder).entryList({QStringLiteral("*.png")}, QDir::Files);
        for (const QString& name : kept) {
            if (drawnNames.contains(name))
                continue;
            if (writingReferences) {
                QFile::remove(QDir(referenceFolder).filePath(name));
                std::printf("removed %s\n", qPrintable(QDir(referenceFolder).filePath(name)));
                continue;
            }
            std::fprintf(stderr, "%s: a reference picture of no scene\n", qPrintable(name));
            ++changed;
        }
    }
    // Every view that uses Qt Quick Controls has been drawn: they share one style.
    const QStringList styles = loadedControlsStyles();
    if (styles.size() > 1) {
        std::fprintf(stderr, "Qt Quick Controls styles loaded: %s (one expected)\n", qPrintable(styles.join(u' ')));
        ++failures;
    }
    std::printf("%d drawn, %d failed", written, failures);
    if (checkingContrast)
        std::printf(", %d with texts that read too faintly or in the light scheme", faultyScenes);
    if (comparing)
        std::printf(", %d changed against their references", changed);
    std::printf("\n");
    return failures == 0 && faultyScenes == 0 && changed == 0 ? 0 : 1;
}

#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <functional>
#include <vector>

class QQuickWindow;

namespace tavrine::test {

class QmlHarness;

// One picture of a view in one state, for scripts/render-views: written as <view>-<state>.png.
struct RenderScene {
    QString view;
    QString state;
    std::function<QImage(QmlHarness&)> render;
};

std::vector<RenderScene>& renderScenes();

// The picture of a scene's window as drawn; scenes grab through this, so that the render program can also look
// at what the window holds (the contrast of its texts) while it is still there. Drawn once the window has settled
// (no fade, slide or scroll still under way), with a temporary folder's name that a text shows made the same in
// every run: the picture is compared with a reference kept in the tree.
QImage grabScene(QQuickWindow& window);

// The moment every scene is drawn at, so that the dates and times a view shows are the same on any day.
QDateTime sceneNow();

// Taps the `nth` item named `objectName` in the window (press and release of the left button at its middle), as
// a user would; false when there is no such item.
bool tapItem(QQuickWindow& window, const QString& objectName, int nth = 0);

// The window's picture once it has settled: drawn again every 100 ms until it has stayed the same (within the
// pictures' tolerance) for 700 ms, for 4 s at most. Texts that name a folder of QTemporaryDir name a fixed one.
QImage settledPicture(QQuickWindow& window);

// Adds scenes from a file compiled into the render program: TAVRINE_RENDER_SCENES(registerMyScenes).
struct RenderSceneRegistration {
    explicit RenderSceneRegistration(void (*add)(std::vector<RenderScene>&)) { add(renderScenes()); }
};

#define TAVRINE_RENDER_SCENES(function)                                                                                \
    static const ::tavrine::test::RenderSceneRegistration function##Registration(function);

} // namespace tavrine::test

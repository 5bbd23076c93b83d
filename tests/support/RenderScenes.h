#pragma once

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
// at what the window holds (the contrast of its texts) while it is still there.
QImage grabScene(QQuickWindow& window);

// Adds scenes from a file compiled into the render program: TAVRINE_RENDER_SCENES(registerMyScenes).
struct RenderSceneRegistration {
    explicit RenderSceneRegistration(void (*add)(std::vector<RenderScene>&)) { add(renderScenes()); }
};

#define TAVRINE_RENDER_SCENES(function)                                                                                \
    static const ::tavrine::test::RenderSceneRegistration function##Registration(function);

} // namespace tavrine::test

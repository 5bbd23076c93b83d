#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <vector>

namespace tavrine::test {

class QmlHarness;

// One picture of a view in one state, for scripts/render-views: written as <view>-<state>.png.
struct RenderScene {
    QString view;
    QString state;
    std::function<QImage(QmlHarness&)> render;
};

std::vector<RenderScene>& renderScenes();

// Adds scenes from a file compiled into the render program: TAVRINE_RENDER_SCENES(registerMyScenes).
struct RenderSceneRegistration {
    explicit RenderSceneRegistration(void (*add)(std::vector<RenderScene>&)) { add(renderScenes()); }
};

#define TAVRINE_RENDER_SCENES(function) static const ::tavrine::test::RenderSceneRegistration function##Registration(function);

} // namespace tavrine::test

// One frame of the onboarding backdrop while two pages' palettes blend: the mesh into its small texture, which
// is what the item paints (the scene graph stretches it over the window), and, for comparison, the same frame
// scaled smoothly to 800 × 600 on the processor.
#include "tavrine/onboarding/MeshBackdrop.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

using namespace tavrine::onboarding;

static void BM_BlendedBackdropFrameScaledOnCpu(benchmark::State& state) {
    const BackdropPalette& from = pageTable(OnboardingPage::Welcome).palette;
    const BackdropPalette& to = pageTable(OnboardingPage::Permissions).palette;
    QImage frame(800, 600, QImage::Format_ARGB32_Premultiplied);
    double t = 0;
    for (auto _ : state) {
        const QImage mesh = meshImage(blendPalettes(from, to, t), MeshBackdrop::meshSize);
        QPainter painter(&frame);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(0, 0, 800, 600), mesh);
        painter.end();
        benchmark::DoNotOptimize(frame.constBits());
        t = t >= 1 ? 0 : t + 1.0 / 17;
    }
}
BENCHMARK(BM_BlendedBackdropFrameScaledOnCpu)->Unit(benchmark::kMicrosecond);

static void BM_BlendedBackdropTexture(benchmark::State& state) {
    const BackdropPalette& from = pageTable(OnboardingPage::Welcome).palette;
    const BackdropPalette& to = pageTable(OnboardingPage::Permissions).palette;
    double t = 0;
    for (auto _ : state) {
        const QImage mesh = meshImage(blendPalettes(from, to, t), MeshBackdrop::meshSize);
        benchmark::DoNotOptimize(mesh.constBits());
        t = t >= 1 ? 0 : t + 1.0 / 17;
    }
}
BENCHMARK(BM_BlendedBackdropTexture)->Unit(benchmark::kMicrosecond);

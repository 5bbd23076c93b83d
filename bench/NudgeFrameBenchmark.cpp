// One frame of the nudge's animated pieces, drawn into an image as the painted items draw into their textures.
#include "tavrine/nudge/NudgeVoiceGlow.h"
#include "tavrine/nudge/SpokenSentenceItem.h"
#include "tavrine/speech/NudgeVoiceMeter.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

using namespace tavrine;

static void BM_GlowFrame(benchmark::State& state) {
    QImage image(440, 260, QImage::Format_ARGB32_Premultiplied);
    double t = 0;
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        nudge::NudgeVoiceGlow::paintFrame(&painter, 440, 260, t, 0.6);
        t += 1.0 / 30;
    }
}
BENCHMARK(BM_GlowFrame)->Unit(benchmark::kMicrosecond);

// A 139-character sentence mid-speech: the words behind are whole, three are fading in, the rest unheard.
static void BM_SpokenFrame(benchmark::State& state) {
    const QString text = QStringLiteral("Nice detour through the video site, but the quarterly report is still "
                                        "waiting for you. Let us get back to the revenue numbers now. Go on ok");
    NudgeVoiceMeter meter;
    meter.reset();
    meter.setPending(true);
    SpeechWordProgress progress;
    for (int i = 0; i < 115; ++i)
        progress.characterStarts.append(i * 0.05);
    progress.end = 115 * 0.05;
    progress.now = 3.0;
    meter.attach(meter.token(), [] { return 0.5f; }, [&] { return std::optional(progress); });
    nudge::SpokenSentenceItem item;
    item.setText(text);
    item.setPixelSize(15);
    item.setMode(nudge::SpokenSentenceItem::Mode::Spoken);
    item.setMeter(&meter);
    QImage image(int(item.implicitWidth()), int(item.implicitHeight()), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        item.paint(&painter);
    }
    state.counters["characters"] = double(text.size());
}
BENCHMARK(BM_SpokenFrame)->Unit(benchmark::kMicrosecond);

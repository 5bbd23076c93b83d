// The per-frame reads of the voice (level and word progress over 20 chunks) and decoding plus enqueuing one
// second of speech.
#include "BenchmarkMain.h"
#include "tavrine/platform/AudioDucking.h"
#include "tavrine/speech/NudgeStreamPlayer.h"
#include "tavrine/speech/SonioxMessages.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

using namespace tavrine;

namespace {

class NullOutput final : public SpeechAudioOutput {
public:
    qint64 handed = 0;
    void open() override {}
    void close() override {}
    void write(const QByteArray& pcm) override { handed += pcm.size() / 2; }
    qint64 handedSamples() const override { return handed; }
    qint64 heardSamples() const override { return handed / 2; }
};

std::unique_ptr<NudgeStreamPlayer> playerWithChunks(int chunks) {
    auto player = std::make_unique<NudgeStreamPlayer>(std::make_unique<NullOutput>(), nullptr);
    for (int i = 0; i < chunks; ++i)
        player->enqueue(QByteArray(4800, '\x30'), SpeechTimestamps{{"a", "b", "c"}, {0.01 * i, 0.02, 0.03}});
    return player;
}

void level(benchmark::State& state) {
    auto player = playerWithChunks(20);
    for (auto _ : state)
        benchmark::DoNotOptimize(player->level());
}
BENCHMARK(level);

void wordProgress(benchmark::State& state) {
    auto player = playerWithChunks(20);
    for (auto _ : state)
        benchmark::DoNotOptimize(player->wordProgress());
}
BENCHMARK(wordProgress);

void decodeAndEnqueueOneSecond(benchmark::State& state) {
    const QString message = QString::fromUtf8(
        QJsonDocument(QJsonObject{{"audio", QString::fromLatin1(QByteArray(48000, '\x11').toBase64())}})
            .toJson(QJsonDocument::Compact));
    auto player = std::make_unique<NudgeStreamPlayer>(std::make_unique<NullOutput>(), nullptr);
    for (auto _ : state) {
        const SonioxSpeechEvent event = parseSonioxMessage(message);
        player->enqueue(*event.audio, event.timestamps);
    }
}
BENCHMARK(decodeAndEnqueueOneSecond);

} // namespace

int main(int argc, char** argv) {
    return runBenchmarks<QCoreApplication>(argc, argv);
}

#include "tavrine/ocr/TextRecognition.h"

#include "tavrine/ocr/CapturedTextMerger.h"
#include "tavrine/ocr/OcrEngine.h"
#include "tavrine/ocr/PageReader.h"

namespace tavrine {

QCoro::Task<QString> recognizeText(QImage image, double band, CancellationToken cancel) {
    auto text = std::make_shared<QString>();
    auto job = std::make_shared<OcrJob>();
    job->work = [image = std::move(image), band, text](PageReader& reader, const std::atomic<bool>& cancelled) {
        RecognizedTextBuilder builder;
        const bool read = reader.read(image, band, cancelled, [&](const QString& line) { return builder.offer(line); });
        if (read)
            *text = builder.text();
    };
    co_await OcrEngine::perform(job, cancel);
    co_return *text;
}

QCoro::Task<MergedText> recognizeAndMerge(QImage image, double band, QString base, qsizetype budget,
                                          CancellationToken cancel) {
    auto merged = std::make_shared<MergedText>(MergedText{base, 0});
    auto job = std::make_shared<OcrJob>();
    job->work = [image = std::move(image), band, base, budget, merged](PageReader& reader,
                                                                       const std::atomic<bool>& cancelled) {
        // Both limits of the two-step form apply: the recognised text's own cap, then the merge's budget.
        RecognizedTextBuilder recognized;
        CapturedTextMerger merger(base, budget);
        const bool read = reader.read(image, band, cancelled, [&](const QString& line) {
            return recognized.offer(line) && merger.offer(dropNoiseLines(line));
        });
        if (read)
            *merged = merger.result();
    };
    co_await OcrEngine::perform(job, cancel);
    co_return *merged;
}

} // namespace tavrine

// Prints the recognizer's confidence for every line it finds on rendered text and on pictures without text,
// the measurement behind the confidence a line needs to count.
#include "TextImages.h"
#include "tavrine/ocr/PageReader.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdio>

using namespace tavrine;

namespace {

struct Sample {
    QString what;
    QImage image;
    bool hasText;
};

QString normalised(QString text) {
    return text.simplified().toLower();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList families = {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono",
                                  "Nimbus Sans", "C059",         "URW Bookman"};
    const QStringList lines = {"Quarterly revenue grew by 12% in March",   "def parse(self, text): return None",
                               "Meeting notes - design review at 10:30",   "Inbox (42) Drafts Sent Archive",
                               "https://example.org/docs/getting-started", "OK",
                               "File Edit View History Bookmarks Help",    "Total: 1,234.56 EUR (42%)"};
    std::vector<Sample> samples;
    for (const QString& family : families) {
        for (int size : {11, 13, 16, 22, 32}) {
            for (int theme = 0; theme < 3; ++theme) {
                test::TextStyle style;
                style.family = family;
                style.pixelSize = size;
                if (theme == 1) {
                    style.ink = QColor(220, 220, 220);
                    style.paper = QColor(30, 30, 30);
                } else if (theme == 2) {
                    style.ink = QColor(120, 120, 120); // faint grey on white
                }
                samples.push_back(
                    {QStringLiteral("%1 %2px %3").arg(family).arg(size).arg(theme),
                     test::renderLines(QSize(900, size * 2 * lines.size() + 40), lines, style, 20, size * 2), true});
            }
        }
    }
    for (int seed = 1; seed <= 16; ++seed)
        samples.push_back(
            {QStringLiteral("icons %1").arg(seed), test::renderIcons(QSize(900, 500), seed % 2 == 0, seed), false});

    std::setvbuf(stdout, nullptr, _IONBF, 0);
    PageReader reader;
    std::atomic<bool> never{false};
    QList<int> textConfidences, wrongConfidences, noiseConfidences;
    int textKept = 0, wrongKept = 0, noiseKept = 0;
    for (const Sample& sample : samples) {
        const QImage page = PageReader::preparePage(sample.image);
        for (const QRect& box : reader.lineBoxes(page)) {
            const auto line = reader.readLine(page, box, never);
            if (!line)
                continue;
            const QString text = line->text.simplified();
            if (text.isEmpty())
                continue;
            bool correct = false;
            for (const QString& expected : lines)
                correct = correct || normalised(expected) == normalised(text);
            const bool kept = PageReader::counts(*line);
            if (!sample.hasText) {
                noiseConfidences.append(line->confidence);
                noiseKept += kept;
            } else if (correct) {
                textConfidences.append(line->confidence);
                textKept += kept;
            } else {
                wrongConfidences.append(line->confidence);
                wrongKept += kept;
            }
            std::printf("%-28s %s conf %3d share %3d sure %3d  %s\n", qPrintable(sample.what),
                        !sample.hasText ? "NOISE" : (correct ? "ok   " : "WRONG"), line->confidence,
                        line->confidentShare, line->sureShare, qPrintable(text));
        }
    }
    auto summary = [](const char* name, QList<int> values) {
        std::sort(values.begin(), values.end());
        if (values.isEmpty()) {
            std::printf("%s: none\n", name);
            return;
        }
        std::printf("%s: %lld lines, min %d, 10%% %d, median %d, 90%% %d, max %d\n", name, (long long)values.size(),
                    values.front(), values.at(values.size() / 10), values.at(values.size() / 2),
                    values.at(values.size() * 9 / 10), values.back());
    };
    summary("read correctly", textConfidences);
    summary("read with errors", wrongConfidences);
    summary("pictures without text", noiseConfidences);
    std::printf("kept (at %d, or sure words of %d, shaped words of %d) with a letter or digit: %d of %lld read "
                "correctly, %d of %lld read with errors, %d of %lld from pictures\n",
                PageReader::minimumConfidence, PageReader::minimumConfidentShare, PageReader::minimumShapedConfidence,
                textKept, (long long)textConfidences.size(), wrongKept, (long long)wrongConfidences.size(), noiseKept,
                (long long)noiseConfidences.size());
    return 0;
}

#include "tavrine/capture/ScreenAddress.h"

#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"
#include "tavrine/model/PageAddress.h"
#include "tavrine/ocr/OcrEngine.h"
#include "tavrine/ocr/PageReader.h"

#include <QRegularExpression>
#include <QStringList>

namespace tavrine::capture {

namespace {

const QRegularExpression& addressShape() {
    static const QRegularExpression shape(
        QStringLiteral("^(?:https?://)?"
                       "(?:(?:[a-z0-9](?:[a-z0-9-]{0,61}[a-z0-9])?\\.)+(?:[a-z]{2,63}|xn--[a-z0-9-]{1,59})"
                       "|\\d{1,3}(?:\\.\\d{1,3}){3}|localhost)"
                       "(?::\\d{1,5})?(?:/\\S*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return shape;
}

} // namespace

std::optional<QString> addressFromToolbarText(const QString& text) {
    // The address bar is the band's first line that holds an address: a tab's title rarely is one, while the
    // page below may name any host.
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (word.size() <= evidenceLimit::pageAddress && addressShape().match(word).hasMatch() &&
                normalizedHost(word))
                return word;
        }
    }
    return std::nullopt;
}

QCoro::Task<std::optional<QString>> readScreenAddress(QImage band, CancellationToken cancel) {
    auto address = std::make_shared<std::optional<QString>>();
    auto job = std::make_shared<OcrJob>();
    job->work = [band = std::move(band), address](PageReader& reader, const std::atomic<bool>& cancelled) {
        const QImage page = PageReader::preparePage(band);
        if (page.isNull())
            return;
        for (const QRect& box : reader.lineBoxes(page)) {
            const std::optional<PageReader::Line> line = reader.readLine(page, box, cancelled);
            if (!line)
                return;
            *address = addressFromToolbarText(text::collapseWhitespace(line->text));
            if (*address)
                return;
        }
    };
    co_await OcrEngine::perform(job, cancel);
    co_return *address;
}

} // namespace tavrine::capture

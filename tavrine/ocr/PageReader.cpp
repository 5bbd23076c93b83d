#include "tavrine/ocr/PageReader.h"

#include "tavrine/core/Text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/pageiterator.h>

namespace tavrine {

namespace {

// Enough line crops for a few pages of several windows; a line entry is a short text.
constexpr std::size_t lineCacheCapacity = 4096;
// Line boxes of the last few pages (the windows the user switches between).
constexpr std::size_t layoutCacheCapacity = 8;
// Blank margin around a line crop, as a share of the line's height. Measured on rendered lines: with no margin
// the recognizer misreads the edge glyphs; with a wide one it scales the line down and misreads small text.
constexpr double linePadding = 0.15;

bool isMostlyDark(const QImage& grey, const QRect& rect) {
    qint64 dark = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = rect.left(); x <= rect.right(); ++x)
            dark += row[x] < 128;
    }
    return dark * 2 > qint64(rect.width()) * rect.height();
}

// 8-bit grey with the usual weights (11:16:5), transparent parts over white. Qt's own conversion to
// Grayscale8 goes through colour management and costs 10 to 30 ms for a window; this costs about 2.
inline uchar greyOf(int red, int green, int blue) {
    return uchar((red * 11 + green * 16 + blue * 5) >> 5);
}

QImage greyOnWhite(const QImage& image) {
    if (image.isNull())
        return {};
    if (image.format() == QImage::Format_Grayscale8)
        return image;
    QImage source = image;
    if (source.format() != QImage::Format_RGB32 && source.format() != QImage::Format_ARGB32 &&
        source.format() != QImage::Format_ARGB32_Premultiplied)
        source = source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                 : QImage::Format_RGB32);
    const QImage::Format format = source.format();
    QImage grey(source.size(), QImage::Format_Grayscale8);
    if (grey.isNull())
        return {};
    const int width = source.width();
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        uchar* out = grey.scanLine(y);
        // One loop per format, so that the common opaque case stays a tight loop.
        if (format == QImage::Format_RGB32) {
            for (int x = 0; x < width; ++x)
                out[x] = greyOf(qRed(in[x]), qGreen(in[x]), qBlue(in[x]));
        } else if (format == QImage::Format_ARGB32_Premultiplied) {
            for (int x = 0; x < width; ++x) {
                const int white = 255 - qAlpha(in[x]);
                out[x] = greyOf(qRed(in[x]) + white, qGreen(in[x]) + white, qBlue(in[x]) + white);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                const int alpha = qAlpha(in[x]);
                const auto over = [alpha](int channel) { return (channel * alpha + 255 * (255 - alpha) + 127) / 255; };
                out[x] = greyOf(over(qRed(in[x])), over(qGreen(in[x])), over(qBlue(in[x])));
            }
        }
    }
    return grey;
}

bool hasLetterOrDigit(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

bool cancelRequested(void* flag, int) {
    return static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed);
}

} // namespace

PageReader::PageReader() : m_layouts(layoutCacheCapacity), m_lines(lineCacheCapacity) {}

PageReader::~PageReader() {
    if (m_api)
        m_api->End();
}

bool PageReader::ensureEngine() {
    if (m_api)
        return true;
    if (m_engineFailed)
        return false;
    // Leptonica reports odd boxes of noise on standard error ("box outside rectangle"); they are harmless here.
    setMsgSeverity(L_SEVERITY_NONE);
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    // The LSTM recognizer only: the legacy classifier adds time and no accuracy on screen text.
    if (api->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) != 0) {
        m_engineFailed = true;
        return false;
    }
    // Its diagnostics ("Estimating resolution as …") would go to standard error on every page.
    api->SetVariable("debug_file", "/dev/null");
    // Dark lines are inverted before recognition; a second, inverted attempt on each unsure line only costs time.
    api->SetVariable("tessedit_do_invert", "0");
    m_api = std::move(api);
    return true;
}

QImage PageReader::preparePage(const QImage& image) {
    QImage grey = greyOnWhite(image);
    // Layout analysis looks for dark text on a light ground; a dark theme reads as one big dark block.
    if (!grey.isNull() && isMostlyDark(grey, grey.rect()))
        grey.invertPixels();
    return grey;
}

QList<QRect> PageReader::lineBoxes(const QImage& page) {
    const PixelKey key = PixelKey::of(page, page.rect());
    if (auto cached = m_layouts.find(key)) {
        ++m_counters.layoutsReused;
        return *cached;
    }
    QList<QRect> boxes;
    if (!ensureEngine())
        return boxes;
    ++m_counters.layouts;
    m_api->SetPageSegMode(tesseract::PSM_AUTO);
    m_api->SetImage(page.constBits(), page.width(), page.height(), 1, int(page.bytesPerLine()));
    std::unique_ptr<tesseract::PageIterator> it(m_api->AnalyseLayout());
    if (it) {
        do {
            // Pictures and rules found by the layout are not read: they would only give low-confidence noise.
            if (!PTIsTextType(it->BlockType()))
                continue;
            int left = 0, top = 0, right = 0, bottom = 0;
            if (it->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom) && right > left && bottom > top)
                boxes.append(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).intersected(page.rect()));
        } while (it->Next(tesseract::RIL_TEXTLINE));
    }
    m_api->Clear();
    m_layouts.insert(key, boxes);
    return boxes;
}

std::optional<PageReader::Line> PageReader::readLine(const QImage& page, const QRect& box,
                                                     const std::atomic<bool>& cancelled) {
    const PixelKey key = PixelKey::of(page, box);
    if (auto cached = m_lines.find(key)) {
        ++m_counters.linesReused;
        return cached;
    }
    if (!ensureEngine())
        return std::nullopt;
    // Everything below depends on the crop's pixels alone, so equal keys give equal lines.
    const int padding = std::max(2, int(std::lround(box.height() * linePadding)));
    QImage line(box.width() + 2 * padding, box.height() + 2 * padding, QImage::Format_Grayscale8);
    line.fill(255);
    const bool invert = isMostlyDark(page, box);
    for (int y = 0; y < box.height(); ++y) {
        const uchar* from = page.constScanLine(box.top() + y) + box.left();
        uchar* to = line.scanLine(padding + y) + padding;
        if (invert) {
            for (int x = 0; x < box.width(); ++x)
                to[x] = uchar(255 - from[x]);
        } else {
            std::memcpy(to, from, size_t(box.width()));
        }
    }
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &cancelRequested;
    monitor.cancel_this = const_cast<std::atomic<bool>*>(&cancelled);
    // The layout already found the line: recognise the crop as one line without looking for lines again.
    m_api->SetPageSegMode(tesseract::PSM_RAW_LINE);
    m_api->SetImage(line.constBits(), line.width(), line.height(), 1, int(line.bytesPerLine()));
    const int failed = m_api->Recognize(&monitor);
    if (cancelled.load()) {
        m_api->Clear();
        return std::nullopt;
    }
    Line result;
    if (failed == 0) {
        std::unique_ptr<char[]> utf8(m_api->GetUTF8Text());
        result.text = utf8 ? QString::fromUtf8(utf8.get()) : QString();
        result.confidence = m_api->MeanTextConf();
    }
    m_api->Clear();
    ++m_counters.linesRead;
    m_lines.insert(key, result);
    return result;
}

bool PageReader::counts(const Line& line) {
    return line.confidence >= minimumConfidence && hasLetterOrDigit(line.text);
}

bool PageReader::read(const QImage& image, double band, const std::atomic<bool>& cancelled,
                      const std::function<bool(const QString&)>& take) {
    if (image.isNull() || !ensureEngine())
        return false;
    const QImage page = preparePage(image);
    if (page.isNull())
        return false;
    const QList<QRect> boxes = lineBoxes(page);
    if (cancelled.load())
        return false;

    struct Placed {
        double top;
        QRect box;
    };
    std::vector<Placed> placed;
    placed.reserve(size_t(boxes.size()));
    const double height = page.height();
    for (const QRect& box : boxes) {
        const double top = box.top() / height;
        // A line whose top edge lies inside the band is left out, even when most of it lies lower.
        if (top < band)
            continue;
        placed.push_back({top, box});
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) { return a.top < b.top; });

    for (const Placed& each : placed) {
        if (cancelled.load())
            return false;
        const std::optional<Line> line = readLine(page, each.box, cancelled);
        if (!line)
            return false;
        const QString text = text::collapseWhitespace(line->text);
        if (!counts(*line) || text.isEmpty())
            continue;
        if (!take(text))
            break;
    }
    return true;
}

void PageReader::clearCaches() {
    m_layouts.clear();
    m_lines.clear();
}

} // namespace tavrine

#include "tavrine/ocr/PageReader.h"

#include "tavrine/core/Log.h"
#include "tavrine/core/Text.h"
#include "tavrine/ocr/LineCleanup.h"
#include "tavrine/ocr/OcrBackend.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tavrine {

namespace {

// Enough line crops for a few pages of several windows; a line entry is a short text.
constexpr std::size_t lineCacheCapacity = 4096;
// Pages read before, by their exact pixels (the windows the user switches between).
constexpr std::size_t pageCacheCapacity = 8;
// Line boxes of stretches of rows: those of a few pages of several windows.
constexpr std::size_t stretchCacheCapacity = 1024;
// Lines read in an alphabet: an address bar or two of each window seen lately.
constexpr std::size_t alphabetLineCapacity = 16;
// Blank margin around a line crop, as a share of the line's height. Measured on rendered lines: with no margin
// the recognizer misreads the edge glyphs; with a wide one it scales the line down and misreads small text.
// It also sets the cost of a line: the recognizer scales each crop to 36 rows and spends about 36 us of CPU on
// every column of that (fixed costs per line are under 1 ms), so a line 800 pixels wide in a 19-row crop costs
// about 55 ms. Padding low crops up to 24 rows saves 16% and reads 11 of the 720 lines of the confidence survey
// wrongly that this margin reads right; squeezing crops to 85% of their width saves about as much and misreads
// too.
constexpr double linePadding = 0.15;
// Blank rows kept above and below a stretch, as the whole page would show them: without any, the analysis takes
// the edge glyphs of a line for noise.
constexpr int stretchPadding = 6;
// A gap of blank rows at most this share of the taller stretch beside it lies inside a line (between the dot of an
// "i" or an accent and the letters), not between lines: the stretches are one.
constexpr double gapInsideLine = 0.35;
// Stretches lower than this hold no readable text (rules, borders, the edges of controls).
constexpr int minimumStretchRows = 4;
// A step in grey along a row at least this large is an edge of ink; smaller ones are shading.
constexpr int changeStep = 40;
// A line's ink reaches at most this many times the height of its densest band: DejaVu's ascenders and
// descenders together take about as much as the x-height, capitals and digits little more.
constexpr double maximumLineToBand = 2.5;
// Blank columns wider than this share of a line's height part two pieces of it: word spaces are under one.
constexpr double columnGap = 2.5;

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

// The share (0 to 100) of the letters and digits of the recognised line that lie in confident words.
int confidentShare(Recognizer& recognizer) {
    int all = 0;
    int confident = 0;
    for (const Recognizer::Word& word : recognizer.words()) {
        const QString text = QString::fromStdString(word.text);
        const int letters = int(std::count_if(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); }));
        all += letters;
        if (word.confidence >= PageReader::minimumConfidence)
            confident += letters;
    }
    return all > 0 ? confident * 100 / all : 0;
}

// Top to bottom, and left to right where lines of two columns start on the same row: the same order however the
// boxes were found.
void sortInReadingOrder(QList<QRect>& boxes) {
    std::sort(boxes.begin(), boxes.end(), [](const QRect& a, const QRect& b) {
        return a.top() != b.top() ? a.top() < b.top() : a.left() < b.left();
    });
}

// One colour across the whole row: the blank between stretches.
bool isBlankRow(const QImage& grey, int y) {
    const uchar* row = grey.constScanLine(y);
    return std::all_of(row + 1, row + grey.width(), [first = row[0]](uchar pixel) { return pixel == first; });
}

// The stretches of a prepared page, top to bottom, as [top, end) with their padding of blank rows. Each depends
// on the rows around it only, so a stretch that scrolled or stayed while others changed is found again with the
// same pixels.
std::vector<std::pair<int, int>> stretchesOf(const QImage& grey) {
    const int height = grey.height();
    std::vector<std::pair<int, int>> inked; // rows with ink, joined across gaps inside a line
    for (int y = 0; y < height;) {
        if (isBlankRow(grey, y)) {
            ++y;
            continue;
        }
        const int top = y;
        while (y < height && !isBlankRow(grey, y))
            ++y;
        if (!inked.empty()) {
            auto& last = inked.back();
            const int gap = top - last.second;
            const int taller = std::max(last.second - last.first, y - top);
            if (gap <= taller * gapInsideLine) {
                last.second = y;
                continue;
            }
        }
        inked.emplace_back(top, y);
    }
    std::vector<std::pair<int, int>> stretches;
    int previousEnd = 0;
    for (std::size_t i = 0; i < inked.size(); ++i) {
        const auto [top, end] = inked[i];
        const int nextTop = i + 1 < inked.size() ? inked[i + 1].first : height;
        if (end - top >= minimumStretchRows)
            stretches.emplace_back(std::max(previousEnd, top - stretchPadding),
                                   std::min(nextTop, end + stretchPadding));
        previousEnd = end;
    }
    return stretches;
}

// Whether rows [top, end) of a prepared page hold one line of text. Counted per row are the changes of grey
// along it: they are many across a line's x-height (or capital height) and few across its ascenders and
// descenders, a panel's edge or a rule. One line is one band of rows with many changes, without a dip inside it,
// and its ink reaches no further above and below that band than ascenders and descenders do; two lines without a
// blank row between them dip between their bands.
bool holdsOneLine(const QImage& grey, int top, int end) {
    std::vector<int> changes;
    changes.reserve(size_t(end - top));
    for (int y = top; y < end; ++y) {
        const uchar* row = grey.constScanLine(y);
        int count = 0;
        for (int x = 1; x < grey.width(); ++x)
            count += std::abs(int(row[x]) - int(row[x - 1])) > changeStep;
        changes.push_back(count);
    }
    const int most = *std::max_element(changes.begin(), changes.end());
    if (most == 0)
        return false;
    const auto dense = [most](int count) { return count * 2 >= most; };
    const auto first = std::find_if(changes.begin(), changes.end(), dense);
    const auto last = std::find_if(changes.rbegin(), changes.rend(), dense).base();
    if (std::any_of(first, last, [most](int count) { return count * 4 < most; }))
        return false;
    const auto inked = [](int count) { return count > 0; };
    const auto inkTop = std::find_if(changes.begin(), changes.end(), inked);
    const auto inkEnd = std::find_if(changes.rbegin(), changes.rend(), inked).base();
    return (inkEnd - inkTop) <= (last - first) * maximumLineToBand;
}

// The pieces of a one-line stretch, as [left, right) columns with a margin of blank ones: runs of ink apart by
// more than a column gap, such as a title beside window buttons or a label and its value set apart as columns.
std::vector<std::pair<int, int>> piecesOfLine(const QImage& grey, int top, int end) {
    const int width = grey.width();
    std::vector<bool> inked(size_t(width), false);
    const uchar* first = grey.constScanLine(top);
    for (int y = top + 1; y < end; ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < width; ++x)
            inked[size_t(x)] = inked[size_t(x)] || row[x] != first[x];
    }
    int inkTop = end, inkEnd = top;
    for (int y = top; y < end; ++y) {
        if (!isBlankRow(grey, y)) {
            inkTop = std::min(inkTop, y);
            inkEnd = y + 1;
        }
    }
    const int gap = std::max(1, int(std::lround((inkEnd - inkTop) * columnGap)));
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < width;) {
        if (!inked[size_t(x)]) {
            ++x;
            continue;
        }
        const int left = x;
        while (x < width && inked[size_t(x)])
            ++x;
        if (!runs.empty() && left - runs.back().second <= gap)
            runs.back().second = x;
        else
            runs.emplace_back(left, x);
    }
    std::vector<std::pair<int, int>> pieces;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const int previous = i > 0 ? runs[i - 1].second : 0;
        const int next = i + 1 < runs.size() ? runs[i + 1].first : width;
        pieces.emplace_back(std::max(previous, runs[i].first - stretchPadding),
                            std::min(next, runs[i].second + stretchPadding));
    }
    return pieces;
}

} // namespace

// A page read before: its line boxes in reading order, and each line once recognised.
struct PageReader::Page {
    QList<QRect> boxes;
    std::vector<std::optional<Line>> lines;
};

PageReader::PageReader()
    : m_pages(pageCacheCapacity), m_stretches(stretchCacheCapacity), m_lines(lineCacheCapacity),
      m_alphabetLines(alphabetLineCapacity) {}

PageReader::~PageReader() = default;

bool PageReader::ensureEngine() {
    if (m_recognizer)
        return true;
    if (m_engineFailed)
        return false;
    OcrBackend* const backend = OcrBackend::instance();
    std::string error;
    std::unique_ptr<Recognizer> recognizer = backend ? backend->createRecognizer("eng", error) : nullptr;
    if (!recognizer) {
        // Pages are read without text from here on; a missing module was logged when it was looked for.
        m_engineFailed = true;
        if (backend)
            log::error(logEvidence(), QString::fromLatin1(OcrBackend::unavailable) + QString::fromStdString(error));
        return false;
    }
    // Its diagnostics ("Estimating resolution as …") would go to standard error on every page.
    recognizer->setVariable("debug_file", "/dev/null");
    // Dark lines are inverted before recognition; a second, inverted attempt on each unsure line only costs time.
    recognizer->setVariable("tessedit_do_invert", "0");
    m_recognizer = std::move(recognizer);
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
    QList<QRect> boxes;
    for (const auto& [top, end] : stretchesOf(page)) {
        const PixelKey key = PixelKey::of(page, QRect(0, top, page.width(), end - top));
        std::optional<QList<QRect>> found = m_stretches.find(key);
        if (found) {
            ++m_counters.stretchesReused;
        } else {
            found = analyse(page, top, end);
            for (QRect& box : *found)
                box.translate(0, -top);
            m_stretches.insert(key, *found);
        }
        for (const QRect& box : *found)
            boxes.append(box.translated(0, top));
    }
    sortInReadingOrder(boxes);
    return boxes;
}

QList<QRect> PageReader::analyse(const QImage& page, int top, int end) {
    QList<QRect> boxes;
    if (!ensureEngine() || top >= end)
        return boxes;
    ++m_counters.layouts;
    // The rows as an image of their own (no copy unless a cell cursor's frame goes): the analysis sees nothing of
    // the page around them.
    const QImage unframed = withoutCursorFrames(page, top, end);
    if (unframed.isNull())
        m_recognizer->setImage(page.constScanLine(top), page.width(), end - top, int(page.bytesPerLine()));
    else
        m_recognizer->setImage(unframed.constBits(), unframed.width(), unframed.height(), int(unframed.bytesPerLine()));
    // A line cut by the page's edge shows too little of itself to be measured as one.
    const bool cut = top == 0 || end == page.height();
    const std::vector<std::pair<int, int>> pieces =
        !cut && holdsOneLine(page, top, end) ? piecesOfLine(page, top, end) : std::vector<std::pair<int, int>>();
    if (pieces.size() == 1) {
        // One line in one piece is its own line box: only its blobs are found, at about half the cost of a
        // layout, which would look for columns, tab stops and tables. It reads as the layout's box does.
        m_recognizer->setMode(Recognizer::SingleLine);
        m_recognizer->setRectangle(pieces.front().first, 0, pieces.front().second - pieces.front().first, end - top);
        boxes = layoutLines(page.rect(), top);
        return boxes;
    }
    // Anything else gets the whole layout. Analysed as one block, lines of side-by-side columns would run into
    // each other, and window buttons beside a title would be read as letters.
    m_recognizer->setMode(Recognizer::Auto);
    boxes = layoutLines(page.rect(), top);
    // Text the layout left out beside the lines it found, such as a column of numbers beside a table's grid
    // lines, is looked for once more as the pieces of ink left beside them. It counts only as cells of a table:
    // on the rows of a line found, no taller than it, apart from every line found, and joined to a line found
    // across a grid line. What else is left is pictures, icons and the edges of controls. Grouping the pieces
    // here finds the cells that a second layout analysis of what was left (as sparse text) found, without that
    // analysis: up to a sixth of a spreadsheet window's reading time. (Reading each piece first to drop the unsure
    // ones cost a third more on a sheet and dropped no more noise on the example windows and the real sheets.)
    // The rows found are joined first: a piece left between two cells of a row must not keep them apart.
    boxes = joinedAcrossGridLines(page, top, end, boxes);
    const QList<QRect> found = boxes;
    for (const QRect& box : leftoverLines(page, top, end, found)) {
        // The pieces are grouped on the rows of a line found, no taller than it: only an overlap is left to rule out.
        if (std::any_of(found.begin(), found.end(), [&](const QRect& line) { return line.intersects(box); }))
            continue;
        boxes.append(box);
    }
    if (boxes.size() == found.size())
        return boxes;
    QList<QRect> joined = joinedAcrossGridLines(page, top, end, boxes);
    joined.removeIf([&](const QRect& line) {
        return std::none_of(found.begin(), found.end(), [&](const QRect& box) { return line.contains(box); });
    });
    return joined;
}

QList<QRect> PageReader::layoutLines(const QRect& page, int top) {
    QList<QRect> boxes;
    for (const PixelBox& line : m_recognizer->layoutLines()) {
        if (line.right > line.left && line.bottom > line.top)
            boxes.append(QRect(QPoint(line.left, line.top + top), QPoint(line.right - 1, line.bottom - 1 + top))
                             .intersected(page));
    }
    m_recognizer->clear();
    return boxes;
}

std::optional<PageReader::Line> PageReader::readLine(const QImage& page, const QRect& box,
                                                     const std::atomic<bool>& cancelled) {
    // The rows around the box tell rules from letters: they are part of the crop's identity, and so is where
    // the box lies among them (the page's edge may cut them).
    const QRect reach = lineReach(box, page.rect());
    PixelKey key = PixelKey::of(page, reach);
    key.second ^= quint64(box.top() - reach.top()) * 0x9e3779b97f4a7c15ULL ^
                  quint64(reach.bottom() - box.bottom()) * 0xc2b2ae3d27d4eb4fULL;
    if (auto cached = m_lines.find(key)) {
        ++m_counters.linesReused;
        return cached;
    }
    if (!ensureEngine())
        return std::nullopt;
    // Everything below depends on the pixels of `reach` alone, so equal keys give equal lines.
    const int padding = std::max(2, int(std::lround(box.height() * linePadding)));
    const QImage clean = cleanLineCrop(page, box);
    std::optional<Line> result = recognise(clean, padding, cancelled);
    if (!result)
        return std::nullopt;
    // A line the layout ran across columns, such as a side pane's label and the file names beside it set a little
    // lower, reads unsure as a whole: its pieces between wide blanks are read one by one, and those that count
    // make the line, as sure as the surest of them. A piece narrower than twice the line's height holds a letter
    // or two, or an icon: a sheet's column letters, read one by one, would cost a read each for nothing.
    const QList<QImage> pieces = counts(*result) ? QList<QImage>() : piecesOfCrop(clean, box.height());
    if (pieces.size() > 1) {
        Line joined;
        for (const QImage& piece : pieces) {
            if (piece.width() < 2 * box.height())
                continue;
            const std::optional<Line> read = recognise(piece, padding, cancelled);
            if (!read)
                return std::nullopt;
            if (!counts(*read))
                continue;
            joined.text += (joined.text.isEmpty() ? QString() : QStringLiteral(" ")) + read->text.trimmed();
            joined.confidence = std::max(joined.confidence, read->confidence);
            joined.confidentShare = std::max(joined.confidentShare, read->confidentShare);
        }
        if (!joined.text.isEmpty())
            result = joined;
    }
    ++m_counters.linesRead;
    m_lines.insert(key, *result);
    return result;
}

std::optional<PageReader::Line> PageReader::recognise(const QImage& clean, int padding,
                                                      const std::atomic<bool>& cancelled) {
    QImage line(clean.width() + 2 * padding, clean.height() + 2 * padding, QImage::Format_Grayscale8);
    line.fill(255);
    const bool invert = isMostlyDark(clean, clean.rect());
    for (int y = 0; y < clean.height(); ++y) {
        const uchar* from = clean.constScanLine(y);
        uchar* to = line.scanLine(padding + y) + padding;
        if (invert) {
            for (int x = 0; x < clean.width(); ++x)
                to[x] = uchar(255 - from[x]);
        } else {
            std::memcpy(to, from, size_t(clean.width()));
        }
    }
    // The layout already found the line: recognise the crop as one line without looking for lines again.
    const bool recognised = recogniseImage(line, Recognizer::RawLine, cancelled);
    if (cancelled.load()) {
        m_recognizer->clear();
        return std::nullopt;
    }
    Line result;
    if (recognised) {
        result.text = QString::fromStdString(m_recognizer->text());
        result.confidence = m_recognizer->meanConfidence();
        result.confidentShare = confidentShare(*m_recognizer);
    }
    m_recognizer->clear();
    return result;
}

bool PageReader::recogniseImage(const QImage& image, int mode, const std::atomic<bool>& cancelled) {
    m_recognizer->setMode(mode);
    m_recognizer->setImage(image.constBits(), image.width(), image.height(), int(image.bytesPerLine()));
    return m_recognizer->recognize(cancelled);
}

QList<OcrWord> PageReader::readLineIn(const QImage& page, const QRect& box, const QString& alphabet,
                                      const std::atomic<bool>& cancelled, double inkGain) {
    if (page.format() != QImage::Format_Grayscale8 || box.height() < 1)
        return {};
    QPoint origin;
    const QImage line = lineInContext(page, box, inkGain, origin);
    if (line.isNull())
        return {};
    PixelKey key = PixelKey::of(line, line.rect());
    key.second ^= quint64(qHash(alphabet)) * 0x9e3779b97f4a7c15ULL;
    std::optional<QList<OcrWord>> words = m_alphabetLines.find(key);
    if (!words) {
        if (!ensureEngine())
            return {};
        words = recogniseIn(line, alphabet, cancelled);
        if (!words)
            return {};
        m_alphabetLines.insert(key, *words);
    }
    for (OcrWord& word : *words)
        word.box.translate(origin);
    return *words;
}

std::optional<QList<OcrWord>> PageReader::recogniseIn(const QImage& line, const QString& alphabet,
                                                      const std::atomic<bool>& cancelled) {
    // The one recognizer of pages reads this line too: the alphabet and the mode are its settings for this line
    // alone, put back however the read ends. Tesseract applies the alphabet anew at every recognition.
    const std::string pageAlphabet = m_recognizer->variable("tessedit_char_whitelist");
    const int pageMode = m_recognizer->mode();
    const auto restore = qScopeGuard([&] {
        m_recognizer->clear();
        m_recognizer->setVariable("tessedit_char_whitelist", pageAlphabet);
        m_recognizer->setMode(pageMode);
    });
    // A blank parts the words; without it in the alphabet, the recognizer runs them together.
    m_recognizer->setVariable("tessedit_char_whitelist", (QStringLiteral(" ") + alphabet).toStdString());
    if (!recogniseImage(line, Recognizer::SingleLine, cancelled) || cancelled.load())
        return std::nullopt;
    QList<OcrWord> words;
    for (const Recognizer::Word& word : m_recognizer->words()) {
        if (word.hasBox)
            words.append({QString::fromStdString(word.text),
                          QRect(QPoint(word.box.left, word.box.top), QPoint(word.box.right - 1, word.box.bottom - 1)),
                          QList<float>(word.characterConfidences.begin(), word.characterConfidences.end())});
    }
    return words;
}

bool PageReader::counts(const Line& line) {
    return (line.confidence >= minimumConfidence || line.confidentShare >= minimumConfidentShare) &&
           hasLetterOrDigit(line.text);
}

bool PageReader::read(const QImage& image, double band, const std::atomic<bool>& cancelled,
                      const std::function<bool(const QString&)>& take) {
    if (image.isNull() || !ensureEngine())
        return false;
    // The page is looked up by its own pixels first: a window that did not change costs at most one hash of them.
    const PixelKey key = pageKey(image);
    QImage grey;
    std::shared_ptr<Page> page;
    if (auto cached = m_pages.find(key)) {
        ++m_counters.layoutsReused;
        page = *cached;
    } else {
        grey = preparePage(image);
        if (grey.isNull())
            return false;
        page = std::make_shared<Page>();
        page->boxes = lineBoxes(grey);
        page->lines.resize(size_t(page->boxes.size()));
        m_pages.insert(key, page);
    }
    if (cancelled.load())
        return false;

    const double height = image.height();
    for (qsizetype i = 0; i < page->boxes.size(); ++i) {
        if (cancelled.load())
            return false;
        const QRect& box = page->boxes.at(i);
        // A line whose top edge lies inside the band is left out, even when most of it lies lower.
        if (box.top() / height < band)
            continue;
        std::optional<Line> line = page->lines[size_t(i)];
        if (line) {
            ++m_counters.linesReused;
        } else {
            if (grey.isNull())
                grey = preparePage(image);
            line = readLine(grey, box, cancelled);
            if (!line)
                return false;
            page->lines[size_t(i)] = line;
        }
        const QString text = text::collapseWhitespace(line->text);
        if (!counts(*line) || text.isEmpty())
            continue;
        if (!take(text))
            break;
    }
    return true;
}

PixelKey PageReader::pageKey(const QImage& image) {
    const auto identity = std::make_tuple(image.cacheKey(), image.format(), image.size());
    if (identity != m_lastIdentity) {
        m_lastKey = PixelKey::ofImage(image);
        m_lastIdentity = identity;
    }
    return m_lastKey;
}

void PageReader::clearCaches() {
    forgetPages();
    m_lines.clear();
    m_alphabetLines.clear();
}

void PageReader::forgetPages() {
    m_lastIdentity.reset();
    m_pages.clear();
    m_stretches.clear();
}

} // namespace tavrine

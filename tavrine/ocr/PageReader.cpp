#include "tavrine/ocr/PageReader.h"

#include "tavrine/core/Log.h"
#include "tavrine/core/Text.h"
#include "tavrine/ocr/LineCleanup.h"
#include "tavrine/ocr/LineReaders.h"
#include "tavrine/ocr/OcrBackend.h"
#include "tavrine/ocr/PageLayout.h"

#include <QRegularExpression>
#include <QScopeGuard>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <thread>

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
// Unread lines on a page for each reader started beside the OCR thread's own recognizer.
constexpr int linesPerReaderStart = 8;

bool hasLetterOrDigit(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

int lettersAndDigits(const QString& text) {
    return int(std::count_if(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); }));
}

// The shares (0 to 100) of the letters and digits of the recognised line that lie in confident words, and in
// sure ones (confident, or shaped and sure enough).
void setShares(Recognizer& recognizer, PageReader::Line& line) {
    int all = 0;
    int confident = 0;
    int sure = 0;
    for (const Recognizer::Word& word : recognizer.words()) {
        const QString text = QString::fromStdString(word.text);
        const int letters = lettersAndDigits(text);
        all += letters;
        if (word.confidence >= PageReader::minimumConfidence) {
            confident += letters;
            sure += letters;
        } else if (word.confidence >= PageReader::minimumShapedConfidence && PageReader::isWordShaped(text)) {
            sure += letters;
        }
    }
    line.confidentShare = all > 0 ? confident * 100 / all : 0;
    line.sureShare = all > 0 ? sure * 100 / all : 0;
}

// Whether the line is sure without its shaped words: such a line is read again piece by piece, where its pieces
// read better alone ("gammaz-list.txt" in a row of names read whole is "gamma-list.txt" alone).
bool sureWhole(const PageReader::Line& line) {
    return line.confidence >= PageReader::minimumConfidence || line.confidentShare >= PageReader::minimumConfidentShare;
}

// Recognises `image` in the page segmentation `mode` (a Recognizer::Mode) with the cancel flag watched; false
// when that failed.
bool recogniseImage(Recognizer& recognizer, const QImage& image, int mode, const std::atomic<bool>& cancelled) {
    recognizer.setMode(mode);
    recognizer.setImage(image.constBits(), image.width(), image.height(), int(image.bytesPerLine()));
    return recognizer.recognize(cancelled);
}

// Recognises a cleaned line crop with `padding` blank pixels around it; nothing when cancelled.
std::optional<PageReader::Line> recognise(Recognizer& recognizer, const QImage& clean, int padding,
                                          const std::atomic<bool>& cancelled) {
    const QImage line = paddedLine(clean, padding);
    // The layout already found the line: recognise the crop as one line without looking for lines again.
    const bool recognised = recogniseImage(recognizer, line, Recognizer::RawLine, cancelled);
    if (cancelled.load()) {
        recognizer.clear();
        return std::nullopt;
    }
    PageReader::Line result;
    if (recognised) {
        result.text = QString::fromStdString(recognizer.text());
        result.confidence = recognizer.meanConfidence();
        setShares(recognizer, result);
    }
    recognizer.clear();
    return result;
}

// The line in `box` of a prepared page as `recognizer` reads it; nothing when cancelled. Depends on the pixels of
// lineReach(box) alone, so equal keys give equal lines, whichever recognizer read them.
std::optional<PageReader::Line> readCrop(Recognizer& recognizer, const QImage& page, const QRect& box,
                                         const std::atomic<bool>& cancelled) {
    const int padding = std::max(2, int(std::lround(box.height() * linePadding)));
    const QImage clean = cleanLineCrop(page, box);
    std::optional<PageReader::Line> result = recognise(recognizer, clean, padding, cancelled);
    if (!result)
        return std::nullopt;
    // A line the layout ran across columns, such as a side pane's label and the file names beside it set a little
    // lower, or a label beside its icon, reads unsure as a whole: its pieces between blanks wider than a word space
    // (a third of the line's height) are read one by one, and those that count make the line, as sure as the
    // surest of them, each cut to its writing (a field's frame and padding around it go). A piece narrower than
    // twice the line's height holds a letter or two, or an icon: a sheet's column letters, read one by one, would
    // cost a read each for nothing.
    const std::vector<std::pair<int, int>> pieces =
        sureWhole(*result) ? std::vector<std::pair<int, int>>() : piecesOf(clean, clean.rect(), (box.height() + 2) / 3);
    if (pieces.size() > 1) {
        PageReader::Line joined;
        for (const auto& [left, right] : pieces) {
            if (right - left < 2 * box.height())
                continue;
            const QImage piece = writingOf(clean.copy(left, 0, right - left, clean.height()));
            const std::optional<PageReader::Line> read =
                recognise(recognizer, piece, std::max(2, int(std::lround(piece.height() * linePadding))), cancelled);
            if (!read)
                return std::nullopt;
            if (!PageReader::counts(*read))
                continue;
            joined.text += (joined.text.isEmpty() ? QString() : QStringLiteral(" ")) + read->text.trimmed();
            joined.confidence = std::max(joined.confidence, read->confidence);
            joined.confidentShare = std::max(joined.confidentShare, read->confidentShare);
            joined.sureShare = std::max(joined.sureShare, read->sureShare);
        }
        if (!joined.text.isEmpty())
            result = joined;
    }
    return result;
}

// A recognizer set up for screen text; null with `error` when none could be made.
std::unique_ptr<Recognizer> makeRecognizer(OcrBackend& backend, std::string& error) {
    std::unique_ptr<Recognizer> recognizer = backend.createRecognizer("eng", error);
    if (!recognizer)
        return nullptr;
    // Dark lines are inverted before recognition; a second, inverted attempt on each unsure line only costs time.
    recognizer->setVariable("tessedit_do_invert", "0");
    return recognizer;
}

// Top to bottom, and left to right where lines of two columns start on the same row: the same order however the
// boxes were found.
void sortInReadingOrder(QList<QRect>& boxes) {
    std::sort(boxes.begin(), boxes.end(), [](const QRect& a, const QRect& b) {
        return a.top() != b.top() ? a.top() < b.top() : a.left() < b.left();
    });
}

} // namespace

// A page read before: its line boxes in reading order, and each line once recognised.
struct PageReader::Page {
    QList<QRect> boxes;
    std::vector<std::optional<Line>> lines;
};

PageReader::PageReader(int lineReaders, std::chrono::milliseconds readersIdleTime)
    : m_readerCount(lineReaders >= 0 ? lineReaders : LineReaders::countFor(std::thread::hardware_concurrency())),
      m_readersIdleTime(readersIdleTime),
      m_pages(pageCacheCapacity), m_stretches(stretchCacheCapacity), m_lines(lineCacheCapacity),
      m_alphabetLines(alphabetLineCapacity) {}

PageReader::~PageReader() = default;

bool PageReader::ensureEngine() {
    if (m_recognizer)
        return true;
    if (m_engineFailed)
        return false;
    OcrBackend* const backend = OcrBackend::instance();
    std::string error;
    std::unique_ptr<Recognizer> recognizer = backend ? makeRecognizer(*backend, error) : nullptr;
    if (!recognizer) {
        // Pages are read without text from here on; a missing module was logged when it was looked for.
        m_engineFailed = true;
        if (backend)
            log::error(logEvidence(), QString::fromLatin1(OcrBackend::unavailable) + QString::fromStdString(error));
        return false;
    }
    m_recognizer = std::move(recognizer);
    m_readers = std::make_unique<LineReaders>(
        m_readerCount,
        [backend] {
            std::string error;
            return makeRecognizer(*backend, error);
        },
        m_readersIdleTime);
    return true;
}

QImage PageReader::preparePage(const QImage& image) {
    return preparedPage(image);
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
    // The rows as an image of their own (no copy unless a frame goes): the analysis sees nothing of the page around
    // them.
    const QImage unframed = withoutFrames(page, top, end);
    const auto setRows = [&] {
        if (unframed.isNull())
            m_recognizer->setImage(page.constScanLine(top), page.width(), end - top, int(page.bytesPerLine()));
        else
            m_recognizer->setImage(unframed.constBits(), unframed.width(), unframed.height(),
                                   int(unframed.bytesPerLine()));
    };
    setRows();
    const QRect oneLine = oneLineBox(page, top, end);
    if (!oneLine.isNull()) {
        // One line in one piece is its own line box: only its blobs are found, at about half the cost of a
        // layout, which would look for columns, tab stops and tables. It reads as the layout's box does.
        m_recognizer->setMode(Recognizer::SingleLine);
        m_recognizer->setRectangle(oneLine.left(), 0, oneLine.width(), oneLine.height());
        boxes = layoutLines(page.rect(), top);
        return boxes;
    }
    // Anything else gets the whole layout. Analysed as one block, lines of side-by-side columns would run into
    // each other, and window buttons beside a title would be read as letters.
    m_recognizer->setMode(Recognizer::Auto);
    const QRect rows(0, top, page.width(), end - top);
    boxes = withTableRows(page, rows, layoutLines(page.rect(), top));
    const QList<QRect> panes = panesCrossed(page, rows, boxes);
    if (panes.isEmpty())
        return withHighlightedNames(page, rows, boxes);
    // A line found across a pane's edge, such as a side pane's label and the file names beside it, reads unsure
    // or garbled: the panes are analysed again one by one. A table lies within one pane.
    boxes.clear();
    for (const QRect& pane : panes) {
        setRows();
        m_recognizer->setRectangle(pane.left(), pane.top() - top, pane.width(), pane.height());
        boxes += withTableRows(page, pane, layoutLines(page.rect(), top));
    }
    return withHighlightedNames(page, rows, boxes);
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

PixelKey PageReader::lineKey(const QImage& page, const QRect& box) {
    // The rows around the box tell rules from letters: they are part of the crop's identity, and so is where
    // the box lies among them (the page's edge may cut them).
    const QRect reach = lineReach(box, page.rect());
    PixelKey key = PixelKey::of(page, reach);
    key.second ^= quint64(box.top() - reach.top()) * 0x9e3779b97f4a7c15ULL ^
                  quint64(reach.bottom() - box.bottom()) * 0xc2b2ae3d27d4eb4fULL;
    return key;
}

std::optional<PageReader::Line> PageReader::readLine(const QImage& page, const QRect& box,
                                                     const std::atomic<bool>& cancelled) {
    const PixelKey key = lineKey(page, box);
    if (auto cached = m_lines.find(key)) {
        ++m_counters.linesReused;
        return cached;
    }
    if (!ensureEngine())
        return std::nullopt;
    std::optional<Line> result = readCrop(*m_recognizer, page, box, cancelled);
    if (!result)
        return std::nullopt;
    ++m_counters.linesRead;
    m_lines.insert(key, *result);
    return result;
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
    for (OcrWord& word : *words) {
        word.box.translate(origin);
        for (QRect& character : word.characterBoxes)
            character.translate(origin);
    }
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
    if (!recogniseImage(*m_recognizer, line, Recognizer::SingleLine, cancelled) || cancelled.load())
        return std::nullopt;
    QList<OcrWord> words;
    const auto rect = [](const PixelBox& box) {
        return QRect(QPoint(box.left, box.top), QPoint(box.right - 1, box.bottom - 1));
    };
    for (const Recognizer::Word& word : m_recognizer->words()) {
        if (!word.hasBox)
            continue;
        QList<QRect> boxes;
        for (const PixelBox& box : word.characterBoxes)
            boxes.append(rect(box));
        words.append({QString::fromStdString(word.text), rect(word.box),
                      QList<float>(word.characterConfidences.begin(), word.characterConfidences.end()), boxes});
    }
    return words;
}

bool PageReader::counts(const Line& line) {
    return (line.confidence >= minimumConfidence || line.sureShare >= minimumConfidentShare) &&
           hasLetterOrDigit(line.text);
}

bool PageReader::isWordShaped(const QString& word) {
    static const QString around = QStringLiteral("()[]{}<>\"'.,:;!?|");
    static const QRegularExpression joiners(QStringLiteral("[-._:/']+"));
    // A run of letters in small letters, in capitals or capitalised, with digits after it, or digits with such a
    // run after them.
    static const QRegularExpression part(
        QStringLiteral("^(?:(?:\\p{Ll}+|\\p{Lu}+|\\p{Lu}\\p{Ll}+)\\d*|\\d+(?:\\p{Ll}+|\\p{Lu}+|\\p{Lu}\\p{Ll}+)?)$"));
    qsizetype first = 0;
    qsizetype end = word.size();
    while (first < end && around.contains(word.at(first)))
        ++first;
    while (end > first && around.contains(word.at(end - 1)))
        --end;
    const QString core = word.mid(first, end - first);
    if (lettersAndDigits(core) < 4)
        return false;
    const QStringList parts = core.split(joiners, Qt::SkipEmptyParts);
    return std::all_of(parts.begin(), parts.end(), [](const QString& piece) { return part.match(piece).hasMatch(); });
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
    // The lines handed over, in order: a line whose top edge lies inside the band is left out, even when most of
    // it lies lower.
    std::vector<qsizetype> order;
    for (qsizetype i = 0; i < page->boxes.size(); ++i) {
        if (page->boxes.at(i).top() / height >= band)
            order.push_back(i);
    }
    // The lines after the one this thread reads are read beside it, a few at a time, and handed over in order.
    // Reading stops at the first line the caller refuses: at most two lines for each reader beside this thread, and
    // one of its own, were read for nothing.
    struct Ahead {
        PixelKey key;
        std::shared_ptr<std::optional<Line>> line = std::make_shared<std::optional<Line>>();
        std::future<void> done;
    };
    std::map<qsizetype, Ahead> ahead;
    std::atomic<bool> abandoned{false};
    const auto settle = qScopeGuard([&] {
        abandoned = true;
        for (auto& [i, read] : ahead) {
            read.done.wait();
            if (*read.line) {
                ++m_counters.linesRead;
                m_lines.insert(read.key, **read.line);
            }
        }
    });
    // Starting a reader (making its recognizer) takes 150-190 ms of CPU, three or four lines' worth, before it
    // reads a line, and holds 14 MB until it ends: readers not running yet start only where the page has lines
    // enough to repay them, so a dialog's or a terminal's few new lines are read here alone.
    int beside = m_readers->running();
    if (beside < m_readers->count()) {
        int unread = 0;
        for (const qsizetype i : order) {
            if (unread >= m_readers->count() * linesPerReaderStart)
                break;
            if (page->lines[size_t(i)])
                continue;
            if (grey.isNull())
                grey = preparePage(image);
            unread += !m_lines.find(lineKey(grey, page->boxes.at(i)));
        }
        beside = std::max(beside, std::min(m_readers->count(), unread / linesPerReaderStart));
    }
    std::size_t dispatched = 0;
    // Keeps the readers beside this thread busy: two lines queued for each.
    const auto dispatch = [&](std::size_t from) {
        dispatched = std::max(dispatched, from);
        while (qsizetype(ahead.size()) < 2 * beside && dispatched < order.size()) {
            const qsizetype later = order[dispatched++];
            if (page->lines[size_t(later)])
                continue;
            Ahead read;
            read.key = lineKey(grey, page->boxes.at(later));
            if (m_lines.find(read.key))
                continue;
            read.done = m_readers->run(
                [grey, box = page->boxes.at(later), result = read.line, &abandoned](Recognizer* recognizer) {
                    if (recognizer && !abandoned.load())
                        *result = readCrop(*recognizer, grey, box, abandoned);
                });
            ahead.emplace(later, std::move(read));
        }
    };
    // Lines this thread read while it waited for the readers beside it: read, not reused, when handed over.
    std::vector<bool> readHere(size_t(page->boxes.size()), false);
    for (std::size_t next = 0; next < order.size(); ++next) {
        if (cancelled.load())
            return false;
        const qsizetype i = order[next];
        const QRect& box = page->boxes.at(i);
        std::optional<Line> line = page->lines[size_t(i)];
        if (line) {
            m_counters.linesReused += !readHere[size_t(i)];
        } else {
            if (grey.isNull())
                grey = preparePage(image);
            dispatch(next + 1);
            if (const auto it = ahead.find(i); it != ahead.end()) {
                while (it->second.done.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                    if (cancelled.load())
                        return false;
                    // Meanwhile this thread reads the next line no reader has.
                    if (dispatched < order.size()) {
                        const qsizetype later = order[dispatched++];
                        if (!page->lines[size_t(later)]) {
                            page->lines[size_t(later)] = readLine(grey, page->boxes.at(later), cancelled);
                            if (!page->lines[size_t(later)])
                                return false;
                            readHere[size_t(later)] = true;
                        }
                        continue;
                    }
                    it->second.done.wait_for(std::chrono::milliseconds(5));
                }
                line = *it->second.line;
                if (line) {
                    ++m_counters.linesRead;
                    m_lines.insert(it->second.key, *line);
                }
                ahead.erase(it);
            }
            // Read here when no reader beside this thread could.
            if (!line)
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

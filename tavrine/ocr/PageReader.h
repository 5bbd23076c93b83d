#pragma once

#include "tavrine/ocr/LineReaders.h"
#include "tavrine/ocr/LruCache.h"
#include "tavrine/ocr/PixelKey.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <tuple>

namespace tavrine {

class Recognizer;

// A word of a line that PageReader::readLineIn read, and its box on the page.
struct OcrWord {
    QString text;
    QRect box;
    // The recognizer's confidence (0 to 100) in each character of the text, in order.
    QList<float> characterConfidences = {};
    // Each character's box on the page, in the same order.
    QList<QRect> characterBoxes = {};

    bool operator==(const OcrWord&) const = default;
};

// Reads the text lines of a page with Tesseract (through the OCR module, OcrBackend): the line boxes are found first,
// then each line is recognised on its own, top to bottom, for as long as the caller wants more lines. The boxes are
// found stretch by stretch: a stretch is the rows between blank rows (rows of one colour across the page), so its line
// boxes depend on its own pixels only and are remembered by them. A stretch one line high, in one piece, is that line;
// any other gets a layout analysis. Recognised lines are remembered by the exact pixels of their crop, and whole pages
// by theirs. A page that scrolled or had one line edited so costs the analysis and recognition of its new stretches
// only, and reads exactly as it would afresh.
// Not thread-safe: one reader lives on the OCR thread.
class PageReader {
public:
    // A line whose mean confidence (0 to 100) is below this counts as no line: what the layout takes for text in
    // icons and controls reads as short strings of low confidence. Measured (bench/OcrConfidenceSurvey) on lines
    // in 6 fonts of 11 to 32 pixels, light, dark and faint, and on 16 pictures without text: of 694 correctly
    // read lines 693 scored 60 or more (10% scored under 91); of 29 strings from the pictures, none holding a
    // letter or digit scored 60 or more (1 at 50).
    static constexpr int minimumConfidence = 60;
    // A line less sure than that on the whole still counts when at least this share (in per cent) of its letters
    // and digits lie in sure words: a line of small text with one odd word (a file name, a word cut by its cell)
    // reads unsure on the whole. Measured on the same survey: of the 29 strings from the pictures 27 had no letter
    // in a word of minimumConfidence or more, the others 3% and 24%.
    static constexpr int minimumConfidentShare = 30;
    // A word read alone, or as the one long word of its line (a file name, an address, a list row's first cell),
    // reads unsure with every character right: the recognizer has no words beside it to be sure by, and on a file
    // manager's row the third of three names read whole scored 48 to 61. Such a word is sure from this confidence
    // on when it is shaped as names, numbers and words are written (isWordShaped). Measured on the real windows'
    // crops of the recognition tests: of the 50 shaped words read at 40 to 59, 49 were the window's text (the
    // other, from a row of file icons, in a line that counted already), and on the survey's 16 pictures without
    // text no shaped word scored 40 or more; the strings an icon or a border gives mix cases, letters and digits,
    // and signs ("oQn8", "QO00Q", "#£QAH").
    static constexpr int minimumShapedConfidence = 40;

    struct Line {
        QString text; // as recognised (whitespace not yet collapsed)
        int confidence = 0;
        // The share (0 to 100) of its letters and digits that lie in words of minimumConfidence or more.
        int confidentShare = 0;
        // The same, counting as sure the shaped words of minimumShapedConfidence or more too.
        int sureShare = 0;
    };
    struct Counters {
        int layouts = 0;         // layout analyses run (one per stretch of rows not seen before)
        int layoutsReused = 0;   // pages read before with the same pixels: nothing analysed, no grey conversion
        int stretchesReused = 0; // stretches of rows whose line boxes came from the cache
        int linesRead = 0;       // lines recognised
        int linesReused = 0;     // lines whose text came from the cache
    };

    // `lineReaders` recognizers read a page's lines beside this reader's own; by default, as many as the machine's
    // cores allow (LineReaders::countFor). Each ends after `readersIdleTime` without a line to read.
    explicit PageReader(int lineReaders = -1, std::chrono::milliseconds readersIdleTime = LineReaders::defaultIdleTime);
    ~PageReader();
    PageReader(const PageReader&) = delete;
    PageReader& operator=(const PageReader&) = delete;

    // Recognises the lines of `image` whose top edge lies at or below `band` (a fraction of the height), top to
    // bottom, handing each line's collapsed text to `take` (low-confidence and blank lines are skipped) until
    // `take` answers false. Answers false when recognition failed or was cancelled.
    bool read(const QImage& image, double band, const std::atomic<bool>& cancelled,
              const std::function<bool(const QString&)>& take);

    // The image as the recognizer sees it (preparedPage): 8-bit grey, composited onto white, inverted when most of
    // it is dark.
    static QImage preparePage(const QImage& image);
    // The line boxes of a prepared page in reading order: top to bottom, left to right on the same row.
    QList<QRect> lineBoxes(const QImage& page);
    // Recognises one line box of a prepared page; nothing when cancelled or when the recognizer is missing.
    std::optional<Line> readLine(const QImage& page, const QRect& box, const std::atomic<bool>& cancelled);

    // The words of the line in `box` of a prepared page, read with the recognizer limited to the characters of
    // `alphabet` (words part at blanks): for a line known to hold one kind of text, such as a browser's address
    // bar. The line is read as lineInContext prepares it, with `inkGain`. The alphabet holds for this line alone:
    // the recognizer reads pages with all its characters again afterwards, however the read ended. Lines read
    // before are remembered by their pixels and the alphabet. Nothing when cancelled during its read or without a
    // recognizer.
    QList<OcrWord> readLineIn(const QImage& page, const QRect& box, const QString& alphabet,
                              const std::atomic<bool>& cancelled, double inkGain = 1.0);

    // Whether a recognised line counts: confident enough on the whole or in enough of its letters (sureShare), and
    // holding a letter or digit (a rule or the edge of a control reads as a confident "|").
    static bool counts(const Line& line);
    // Whether a recognised word is written as names, numbers and words are: at least four letters and digits,
    // joined by nothing or by - . _ : / ' (brackets, quotes and stops around it aside), each run of letters in
    // small letters, in capitals or capitalised, and each part between joiners letters and digits in at most two
    // runs ("alpha-notes.txt", "127.0.0.1:8080/index.html", "buoy5", "Quarterly").
    static bool isWordShaped(const QString& word);

    void clearCaches();
    // Forgets the pages and line boxes seen, keeping the recognised lines: the next page is analysed afresh.
    void forgetPages();
    const Counters& counters() const { return m_counters; }
    // The readers beside this one; null until the first page was read.
    LineReaders* lineReaders() const { return m_readers.get(); }

private:
    struct Page;

    bool ensureEngine();
    // The key of a page's pixels. The image read last is known by its cache key (with its format and size),
    // which no other image and no change to its pixels gives again: it costs no look at them, and no copy of it is
    // kept, which would hold a window's worth of memory between captures.
    PixelKey pageKey(const QImage& image);
    // The line boxes of rows `top` to `end` (exclusive) of a prepared page, found as an image of their own.
    QList<QRect> analyse(const QImage& page, int top, int end);
    // The text line boxes of the layout analysis of the image set, whose top row is row `top` of the page.
    QList<QRect> layoutLines(const QRect& page, int top);
    // The key of the line in `box` of a prepared page: the pixels of the rows that tell its rules from its letters.
    static PixelKey lineKey(const QImage& page, const QRect& box);
    // The words of a prepared line image read as one line in `alphabet`; nothing when cancelled.
    std::optional<QList<OcrWord>> recogniseIn(const QImage& line, const QString& alphabet,
                                              const std::atomic<bool>& cancelled);

    std::unique_ptr<Recognizer> m_recognizer;
    // Recognizers beside this one, for the lines of a page after the one this thread reads.
    std::unique_ptr<LineReaders> m_readers;
    const int m_readerCount;
    const std::chrono::milliseconds m_readersIdleTime;
    bool m_engineFailed = false;
    std::optional<std::tuple<qint64, QImage::Format, QSize>> m_lastIdentity;
    PixelKey m_lastKey;
    LruCache<PixelKey, std::shared_ptr<Page>> m_pages;
    // The line boxes of each stretch, relative to its top, by the stretch's pixels.
    LruCache<PixelKey, QList<QRect>> m_stretches;
    LruCache<PixelKey, Line> m_lines;
    // The words of lines read in an alphabet, by the pixels of the line as read and the alphabet.
    LruCache<PixelKey, QList<OcrWord>> m_alphabetLines;
    Counters m_counters;
};

} // namespace tavrine

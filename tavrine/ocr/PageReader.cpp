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
// Pages read before, by their exact pixels (the windows the user switches between).
constexpr std::size_t pageCacheCapacity = 8;
// Line boxes of stretches of rows: those of a few pages of several windows.
constexpr std::size_t stretchCacheCapacity = 1024;
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

bool cancelRequested(void* flag, int) {
    return static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed);
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

// Rules (grid lines, borders, a cell cursor's frame) are found in a line's crop by these measures, all in rows
// and columns of the crop. A grey at least this far from the line's background is ink for them; grid lines are
// drawn lighter than text, down to about 30 steps from white.
constexpr int ruleInkStep = 24;
// A vertical rule also crosses this many rows above and below the line box: a letter's stem ends inside it.
constexpr int ruleReach = 2;
// A rule is at most this share of the line's height thick (and at least 3 pixels may be): a stem or a filled
// cell is thicker.
constexpr double ruleThickness = 0.25;
// A horizontal rule runs at least this many times the line's height: the longest strokes of letters are shorter.
constexpr double ruleLength = 1.5;

// Rows `box` of a prepared page with the straight rules through them blanked to the line's background. Within a
// table's row the layout finds the text of its cells as one line, grid lines and all; read with them, the
// recognizer takes each for a letter and the whole row for noise. A horizontal rule is a long run of thin ink
// along a row; a vertical one a thin run of ink down a column through most of the box, whose ends reach beyond
// the box or meet a horizontal rule (as a cell cursor's sides meet its edges). A letter's stem ends inside the
// box, apart from any rule. Reads the rows of `reach` only, the box and a few rows around it.
QImage withoutRules(const QImage& page, const QRect& box, const QRect& reach) {
    QImage line = page.copy(box);
    const int width = box.width();
    const int height = box.height();
    const int above = box.top() - reach.top();
    const int below = reach.bottom() - box.bottom();
    int histogram[256] = {};
    for (int y = 0; y < height; ++y) {
        const uchar* row = line.constScanLine(y);
        for (int x = 0; x < width; ++x)
            ++histogram[row[x]];
    }
    const uchar background = uchar(std::max_element(std::begin(histogram), std::end(histogram)) - histogram);
    // Ink is told from the ground by its grey: on a line over grounds of several greys (a coloured block beside
    // plain text), the gaps between letters would pass for rules.
    if (histogram[background] * 2 < width * height)
        return line;
    const auto ink = [&](int x, int y) {
        return std::abs(int(page.constScanLine(reach.top() + y)[box.left() + x]) - int(background)) >= ruleInkStep;
    };
    const int thin = std::max(3, int(std::lround(height * ruleThickness)));
    const auto index = [width](int x, int y) { return size_t(y) * size_t(width) + size_t(x); };

    // The runs of ink down each column, over the rows around the box as well, as [top, end) of `reach`; and how
    // thick the ink is down the column at each pixel of the box.
    std::vector<std::vector<std::pair<int, int>>> runs(static_cast<size_t>(width));
    std::vector<int> thickness(size_t(width) * size_t(height), 0);
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < reach.height();) {
            if (!ink(x, y)) {
                ++y;
                continue;
            }
            const int top = y;
            while (y < reach.height() && ink(x, y))
                ++y;
            if (y <= above || top >= above + height)
                continue;
            runs[size_t(x)].emplace_back(top, y);
            for (int k = std::max(top, above); k < std::min(y, above + height); ++k)
                thickness[index(x, k - above)] = y - top;
        }
    }
    const auto at = [&](int x, int y) { return thickness[index(x, y)]; };

    std::vector<bool> rule(size_t(width) * size_t(height), false);
    const int longest = int(std::lround(height * ruleLength));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width;) {
            if (at(x, y) == 0) {
                ++x;
                continue;
            }
            // A run of ink along the row, whose thin part is of one grey, as a rule is drawn (the haze along the
            // tops of letters set close is of many). Where letters touch the rule (a descender reaching a
            // frame's edge) the ink is thick and stays.
            const int start = x;
            int greys[256] = {};
            while (x < width && at(x, y) > 0) {
                if (at(x, y) <= thin)
                    ++greys[line.constScanLine(y)[x]];
                ++x;
            }
            const int grey = int(std::max_element(std::begin(greys), std::end(greys)) - greys);
            const auto same = [&](int k) {
                return at(k, y) <= thin && std::abs(int(line.constScanLine(y)[k]) - grey) < ruleInkStep / 2;
            };
            int count = 0;
            for (int k = start; k < x; ++k)
                count += same(k);
            if (count >= longest) {
                for (int k = start; k < x; ++k)
                    rule[index(k, y)] = same(k);
            }
        }
    }
    // Whether a horizontal rule passes within a rule's thickness of column `x` in row `y`: a frame's side meets
    // its edges at the corners.
    const auto meetsRule = [&](int x, int y) {
        for (int k = std::max(0, x - thin); k <= std::min(width - 1, x + thin); ++k) {
            if (rule[index(k, y)])
                return true;
        }
        return false;
    };
    std::vector<bool> vertical(size_t(width) * size_t(height), false);
    for (int x = 0; x < width; ++x) {
        for (const auto& [top, end] : runs[size_t(x)]) {
            const int first = std::max(top, above) - above;
            const int last = std::min(end, above + height) - above - 1;
            if ((last - first + 1) * 2 < height)
                continue;
            const bool topEnd = (above >= ruleReach && top <= above - ruleReach) || meetsRule(x, first);
            const bool bottomEnd = (below >= ruleReach && end >= above + height + ruleReach) || meetsRule(x, last);
            if (topEnd && bottomEnd) {
                for (int y = first; y <= last; ++y)
                    vertical[index(x, y)] = true;
            }
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width;) {
            if (!vertical[index(x, y)]) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < width && vertical[index(x, y)])
                ++x;
            // Thicker than a rule: a filled cell or a bar, which may hold text of its own. A rule stands on the
            // ground on both sides; where a letter touches it, that row of it stays.
            const auto ground = [&](int k) { return k < 0 || k >= width || !ink(k, above + y) || rule[index(k, y)]; };
            if (x - start <= thin && ground(start - 1) && ground(x))
                std::fill(rule.begin() + qsizetype(index(start, y)), rule.begin() + qsizetype(index(x, y)), true);
        }
    }
    for (int y = 0; y < height; ++y) {
        uchar* row = line.scanLine(y);
        for (int x = 0; x < width; ++x) {
            if (rule[index(x, y)])
                row[x] = background;
        }
    }
    return line;
}

// The line with every run of blank columns wider than `widest` cut down to that width. The recognizer reads a
// wide blank inside a line, such as the space between two cells of a table's row, as dashes and rules, and
// doubts the whole line; a blank as wide as the line is high still reads as a space.
QImage withGapsNarrowed(const QImage& line, int widest) {
    const int width = line.width();
    const int height = line.height();
    int histogram[256] = {};
    for (int y = 0; y < height; ++y) {
        const uchar* row = line.constScanLine(y);
        for (int x = 0; x < width; ++x)
            ++histogram[row[x]];
    }
    const int background = int(std::max_element(std::begin(histogram), std::end(histogram)) - histogram);
    std::vector<bool> blank(size_t(width), true);
    for (int y = 0; y < height; ++y) {
        const uchar* row = line.constScanLine(y);
        for (int x = 0; x < width; ++x)
            blank[size_t(x)] = blank[size_t(x)] && std::abs(int(row[x]) - background) < ruleInkStep;
    }
    std::vector<int> kept;
    kept.reserve(size_t(width));
    for (int x = 0; x < width;) {
        if (!blank[size_t(x)]) {
            kept.push_back(x++);
            continue;
        }
        const int start = x;
        while (x < width && blank[size_t(x)])
            ++x;
        // The middle of a wide gap goes; what stays on either side keeps the ink's own edges.
        const int keep = std::min(x - start, widest);
        for (int k = 0; k < keep; ++k)
            kept.push_back(k < keep / 2 ? start + k : x - (keep - k));
    }
    if (int(kept.size()) == width)
        return line;
    QImage narrowed(int(kept.size()), height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y) {
        const uchar* from = line.constScanLine(y);
        uchar* to = narrowed.scanLine(y);
        for (size_t k = 0; k < kept.size(); ++k)
            to[k] = from[kept[k]];
    }
    return narrowed;
}

// Whether a column between two line boxes on one row is a grid line: one grey from a few rows above the boxes
// to a few below, apart from the ground on either side of it, and crossed by a line of its grey just above the
// boxes and just below them, as a table's rows are (a panel's edge beside text is not). Looks at rows [top, end)
// only.
bool isGridLineBetween(const QImage& page, int x, int top, int end, const QRect& row) {
    const int first = std::max(top, row.top() - ruleReach);
    const int last = std::min(end - 1, row.bottom() + ruleReach);
    const int grey = page.constScanLine(first)[x];
    const auto near = [grey](int pixel) { return std::abs(pixel - grey) < ruleInkStep / 2; };
    int apart = 0;
    for (int y = first; y <= last; ++y) {
        const uchar* line = page.constScanLine(y);
        if (!near(line[x]))
            return false;
        apart += !near(line[x - 1]) || !near(line[x + 1]);
    }
    if (apart * 2 <= last - first + 1)
        return false;
    // A line of its grey meets it (on one side at least: a cell cursor may cover the other), not the ground
    // beside it: a panel's light edge is as grey as the
    // ground around it. Rows beyond [top, end) are not seen: a row at the edge of the stretch passes there.
    const uchar* middle = page.constScanLine(row.center().y());
    const auto crossed = [&](int from, int to) {
        if (from < top || to >= end)
            return true;
        for (int y = from; y <= to; ++y) {
            const uchar* line = page.constScanLine(y);
            if (x >= 3 && x + 3 < page.width() && near(line[x]) && (near(line[x - 3]) || near(line[x + 3])) &&
                (!near(middle[x - 3]) || !near(middle[x + 3])))
                return true;
        }
        return false;
    };
    // A cell's text sits close between the lines of its row.
    const int margin = row.height() / 2 + ruleReach;
    return crossed(row.top() - margin, row.top() - 1) && crossed(row.bottom() + 1, row.bottom() + margin);
}

// Joins the line boxes of a table's row into one. Between grid lines the layout takes each column of cells for a
// block of its own, and its lines, read one cell at a time and sorted by their tops, lose the row. Boxes join
// when they stand side by side on one row (each one's middle within the other's rows) with a grid line between
// them; text columns without a rule between them stay apart. Looks at rows [top, end) of the page only.
QList<QRect> joinedAcrossGridLines(const QImage& page, int top, int end, QList<QRect> boxes) {
    std::sort(boxes.begin(), boxes.end(), [](const QRect& a, const QRect& b) { return a.left() < b.left(); });
    const auto sameRow = [](const QRect& a, const QRect& b) {
        return a.top() <= b.center().y() && b.center().y() <= a.bottom() && b.top() <= a.center().y() &&
               a.center().y() <= b.bottom();
    };
    QList<QRect> joined;
    for (const QRect& box : boxes) {
        bool merged = false;
        for (QRect& row : joined) {
            if (row.right() >= box.left() || !sameRow(row, box))
                continue;
            const QRect span = row.united(box);
            // Nothing else lies between them: a row of cells holds no other line.
            if (std::any_of(boxes.begin(), boxes.end(), [&](const QRect& other) {
                    return other != box && !row.contains(other) && span.intersects(other);
                }))
                continue;
            for (int x = std::max(1, row.right() + 1); x < box.left() && x + 1 < page.width() && !merged; ++x)
                merged = isGridLineBetween(page, x, top, end, span);
            if (merged) {
                row = span;
                break;
            }
        }
        if (!merged)
            joined.append(box);
    }
    return joined;
}

} // namespace

// A page read before: its line boxes in reading order, and each line once recognised.
struct PageReader::Page {
    QList<QRect> boxes;
    std::vector<std::optional<Line>> lines;
};

PageReader::PageReader() : m_pages(pageCacheCapacity), m_stretches(stretchCacheCapacity), m_lines(lineCacheCapacity) {}

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
    // The rows as an image of their own (no copy): the analysis sees nothing of the page around them.
    m_api->SetImage(page.constScanLine(top), page.width(), end - top, 1, int(page.bytesPerLine()));
    // A line cut by the page's edge shows too little of itself to be measured as one.
    const bool cut = top == 0 || end == page.height();
    const std::vector<std::pair<int, int>> pieces =
        !cut && holdsOneLine(page, top, end) ? piecesOfLine(page, top, end) : std::vector<std::pair<int, int>>();
    if (pieces.size() == 1) {
        // One line in one piece is its own line box: only its blobs are found, at about half the cost of a
        // layout, which would look for columns, tab stops and tables. It reads as the layout's box does.
        m_api->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
        m_api->SetRectangle(pieces.front().first, 0, pieces.front().second - pieces.front().first, end - top);
    } else {
        // Anything else gets the whole layout. Analysed as one block, lines of side-by-side columns would run
        // into each other, and window buttons beside a title would be read as letters.
        m_api->SetPageSegMode(tesseract::PSM_AUTO);
    }
    std::unique_ptr<tesseract::PageIterator> it(m_api->AnalyseLayout());
    if (it) {
        do {
            // Pictures and rules found by the layout are not read: they would only give low-confidence noise.
            if (!PTIsTextType(it->BlockType()))
                continue;
            int left = 0, boxTop = 0, right = 0, bottom = 0;
            if (it->BoundingBox(tesseract::RIL_TEXTLINE, &left, &boxTop, &right, &bottom) && right > left &&
                bottom > boxTop)
                boxes.append(
                    QRect(QPoint(left, boxTop + top), QPoint(right - 1, bottom - 1 + top)).intersected(page.rect()));
        } while (it->Next(tesseract::RIL_TEXTLINE));
    }
    m_api->Clear();
    return joinedAcrossGridLines(page, top, end, boxes);
}

std::optional<PageReader::Line> PageReader::readLine(const QImage& page, const QRect& box,
                                                     const std::atomic<bool>& cancelled) {
    // The rows around the box tell rules from letters: they are part of the crop's identity, and so is where
    // the box lies among them (the page's edge may cut them).
    const QRect reach =
        QRect(box.left(), box.top() - ruleReach, box.width(), box.height() + 2 * ruleReach).intersected(page.rect());
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
    const QImage clean = withGapsNarrowed(withoutRules(page, box, reach), box.height());
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
}

void PageReader::forgetPages() {
    m_lastIdentity.reset();
    m_pages.clear();
    m_stretches.clear();
}

} // namespace tavrine

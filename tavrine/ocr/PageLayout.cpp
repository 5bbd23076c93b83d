#include "tavrine/ocr/PageLayout.h"

#include "tavrine/ocr/BitImage.h"
#include "tavrine/ocr/LineCleanup.h"
#include "tavrine/ocr/OcrBackend.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace tavrine {

namespace {

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

// Whether `rect` of the page is all of one grey.
bool isBlank(const QImage& page, const QRect& rect) {
    const uchar ground = page.constScanLine(rect.top())[rect.left()];
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const uchar* row = page.constScanLine(y) + rect.left();
        if (!std::all_of(row, row + rect.width(), [ground](uchar pixel) { return pixel == ground; }))
            return false;
    }
    return true;
}

// One colour across the whole row: the blank between stretches.
bool isBlankRow(const QImage& grey, int y) {
    return isBlank(grey, QRect(0, y, grey.width(), 1));
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

// A pane's edge parts two grounds, or a ground and a line, this far apart in grey at least: a side pane's light
// grey beside a white view, or the view's frame.
constexpr int edgeStep = 8;
// How far the greys either side of an edge may stray along it.
constexpr int edgeTolerance = 2;
// An edge runs down at least this many rows, and at least this share of the rows it parts: letters' stems and
// a text cursor are shorter; a table's grid lines are crossed by its rows' lines, which part them into pieces
// one row high.
constexpr int shortestEdge = 48;
constexpr double edgeShare = 0.5;
// At most this many panes to a stretch: each is analysed on its own.
constexpr int mostPanes = 12;
// A pane is at least this wide: a scroll bar or a window's border beside a view is no pane of its own.
constexpr int narrowestPane = 48;

// The edge between columns x - 1 and x, down rows [top, end).
struct PaneEdge {
    int x = 0;
    int top = 0;
    int end = 0;
};

// The longest run of rows of `rect` down which two neighbouring columns each keep one grey, apart from the
// other's.
PaneEdge longestEdge(const QImage& page, const QRect& rect) {
    PaneEdge longest;
    const auto apart = [](const uchar* row, int x) { return std::abs(int(row[x]) - int(row[x - 1])) >= edgeStep; };
    const auto near = [](uchar a, uchar b) { return std::abs(int(a) - int(b)) <= edgeTolerance; };
    for (int x = rect.left() + narrowestPane; x <= rect.right() + 1 - narrowestPane; ++x) {
        int start = -1;
        for (int y = rect.top(); y <= rect.bottom() + 1; ++y) {
            const uchar* row = y <= rect.bottom() ? page.constScanLine(y) : nullptr;
            if (start >= 0 && row) {
                const uchar* first = page.constScanLine(start);
                if (near(row[x - 1], first[x - 1]) && near(row[x], first[x]) && apart(row, x))
                    continue;
            }
            if (start >= 0 && y - start > longest.end - longest.top)
                longest = {x, start, y};
            start = row && apart(row, x) ? y : -1;
        }
    }
    return longest;
}

} // namespace

QImage preparedPage(const QImage& image) {
    QImage grey = greyOnWhite(image);
    // Layout analysis looks for dark text on a light ground; a dark theme reads as one big dark block.
    if (!grey.isNull() && isMostlyDark(grey, grey.rect()))
        grey.invertPixels();
    return grey;
}

std::vector<std::pair<int, int>> stretchesOf(const QImage& page) {
    const int height = page.height();
    std::vector<std::pair<int, int>> inked; // rows with ink, joined across gaps inside a line
    for (int y = 0; y < height;) {
        if (isBlankRow(page, y)) {
            ++y;
            continue;
        }
        const int top = y;
        while (y < height && !isBlankRow(page, y))
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

QRect oneLineBox(const QImage& page, int top, int end) {
    // A line cut by the page's edge shows too little of itself to be measured as one.
    if (top <= 0 || end >= page.height() || !holdsOneLine(page, top, end))
        return {};
    int inkTop = end;
    int inkEnd = top;
    for (int y = top; y < end; ++y) {
        if (!isBlankRow(page, y)) {
            inkTop = std::min(inkTop, y);
            inkEnd = y + 1;
        }
    }
    // Runs of ink apart by more than a column gap, such as a title beside window buttons or a label and its value
    // set apart as columns, are pieces of their own. Any grey but the ground's is ink here: a faint title beside
    // the buttons is a piece too.
    const int gap = std::max(1, int(std::lround((inkEnd - inkTop) * columnGap)));
    const std::vector<std::pair<int, int>> pieces = piecesOf(page, QRect(0, top, page.width(), end - top), gap + 1, 1);
    if (pieces.size() != 1)
        return {};
    const int left = std::max(0, pieces.front().first - stretchPadding);
    const int right = std::min(page.width(), pieces.front().second + stretchPadding);
    return QRect(left, top, right - left, end - top);
}

QList<QRect> panesCrossed(const QImage& page, const QRect& rows, const QList<QRect>& boxes) {
    if (boxes.size() < 2)
        return {};
    QList<QRect> panes;
    // Blank panes hold nothing to analyse, but a box may still cross into one.
    QList<QRect> blank;
    std::vector<QRect> left{rows};
    // The longest edge first: it parts the panes beside it over its rows; what lies above and below it, and on
    // either side, may hold shorter ones (a banner over a view, a status bar under it).
    while (!left.empty()) {
        const QRect rect = left.back();
        left.pop_back();
        if (rect.isEmpty())
            continue;
        if (isBlank(page, rect)) {
            blank.append(rect);
            continue;
        }
        const PaneEdge edge =
            panes.size() + qsizetype(left.size()) + 4 <= mostPanes ? longestEdge(page, rect) : PaneEdge();
        const int run = edge.end - edge.top;
        if (run < shortestEdge || run < rect.height() * edgeShare) {
            panes.append(rect);
            continue;
        }
        left.push_back(QRect(rect.left(), edge.end, rect.width(), rect.bottom() + 1 - edge.end));
        left.push_back(QRect(edge.x, edge.top, rect.right() + 1 - edge.x, run));
        left.push_back(QRect(rect.left(), edge.top, edge.x - rect.left(), run));
        left.push_back(QRect(rect.left(), rect.top(), rect.width(), edge.top - rect.top()));
    }
    // A box crosses an edge when two panes hold a stretch of it at least as wide as it is high: a box that takes
    // in a pixel of a view's frame beside its text crosses none.
    const auto holds = [](const QRect& box) {
        return [&box](const QRect& pane) { return pane.intersected(box).width() >= box.height(); };
    };
    const auto crosses = [&](const QRect& box) {
        return std::count_if(panes.begin(), panes.end(), holds(box)) +
                   std::count_if(blank.begin(), blank.end(), holds(box)) >
               1;
    };
    if (std::none_of(boxes.begin(), boxes.end(), crosses))
        return {};
    return panes;
}

namespace {

// Whether a column between two line boxes on one row is a grid line: of one grey from a few rows above the boxes
// to a few below (darker only where other lines cross it), apart from the ground on either side of it, and crossed
// by a darker line just above the boxes and just below them (or along their edges), as a table's rows are (a
// panel's edge beside text is not). A window drawn at another scale draws its grid lines two pixels wide in two
// greys, darker where they cross. Looks at rows [top, end) only.
bool isGridLineBetween(const QImage& page, int x, int top, int end, const QRect& row) {
    const int first = std::max(top, row.top() - ruleReach);
    const int last = std::min(end - 1, row.bottom() + ruleReach);
    const int grey = backgroundOf(page, QRect(x, first, 1, last - first + 1)).first;
    const auto near = [grey](int pixel) { return std::abs(pixel - grey) < ruleInkStep / 2; };
    int apart = 0;
    int crossings = 0;
    for (int y = first; y <= last; ++y) {
        const uchar* line = page.constScanLine(y);
        if (!near(line[x]) && (line[x] > grey || ++crossings * 3 > last - first + 1))
            return false;
        // One or two pixels wide (drawn at another scale), with other greys on both sides.
        const bool left = !near(line[x - 1]) || !near(line[x - 2]);
        const bool right = !near(line[x + 1]) || !near(line[x + 2]);
        apart += left && right && !(near(line[x - 1]) && near(line[x + 1]));
    }
    if (apart * 2 <= last - first + 1)
        return false;
    // A line darker than the ground beside it meets it (on one side at least: a cell cursor may cover the other):
    // a panel's light edge is as grey as the ground around it. Rows beyond [top, end) are not seen: a row at the
    // edge of the stretch passes there.
    const int ground = backgroundOf(page, QRect(row.left(), row.center().y(), row.width(), 1)).first;
    const auto crossed = [&](int from, int to) {
        if (from < top || to >= end)
            return true;
        if (x < 3 || x + 3 >= page.width())
            return false;
        // Three pixels of one grey along the row, a step darker than the ground of the row's cells: a line, not
        // the edge of a letter or an icon.
        const auto lineAt = [&](const uchar* line, int first) {
            const auto [lightest, darkest] = std::minmax({line[first], line[first + 1], line[first + 2]});
            return darkest - lightest < ruleInkStep / 2 && darkest + ruleInkStep / 2 <= ground;
        };
        for (int y = from; y <= to; ++y) {
            const uchar* line = page.constScanLine(y);
            if (line[x] < grey + ruleInkStep / 2 && (lineAt(line, x - 3) || lineAt(line, x + 1)))
                return true;
        }
        return false;
    };
    // A cell's text sits close between the lines of its row; a descender that touches the line under it takes
    // that line's row into the box.
    const int margin = row.height() / 2 + ruleReach;
    return crossed(row.top() - margin, row.top() + ruleReach) &&
           crossed(row.bottom() - ruleReach, row.bottom() + margin);
}

// Long rules: runs of ink at least this long, along a row or down a column, at most this thick. Text strokes are
// shorter than the first up to headings of about 60 pixels, and a rule on a screen is 1 to 3 pixels thick (a
// letter's stem that long is thicker).
constexpr int longRule = 48;
constexpr int longRuleThickness = 3;

// A 1-bit image of the pixels of `grey` at least `step` from `background`.
BitImage inkOf(const QImage& grey, uchar background, int step) {
    BitImage ink(grey.width(), grey.height());
    for (int y = 0; y < ink.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < ink.width(); ++x) {
            if (std::abs(int(row[x]) - int(background)) >= step)
                ink.set(x, y);
        }
    }
    return ink;
}

// `rows` blanked to `background` where `mask`, of the same size, is set.
void blankWhere(QImage& rows, const BitImage& mask, uchar background) {
    for (int y = 0; y < rows.height(); ++y) {
        uchar* row = rows.scanLine(y);
        for (int x = 0; x < rows.width(); ++x) {
            if (mask.test(x, y))
                row[x] = background;
        }
    }
}

// `rows` with the long rules through them blanked to `background`.
void blankLongRules(QImage& rows, uchar background, OcrBackend& morphology) {
    if (rows.width() < longRule && rows.height() < longRule)
        return;
    const BitImage ink = inkOf(rows, background, ruleInkStep);
    if (ink.isNull())
        return;
    // Long runs along the rows and down the columns, less the ink that is thick across them: letters that touch a
    // rule stay whole. Where two rules cross, each is thin across once the other is left out.
    BitImage along = morphology.openBrick(ink, longRule, 1);
    BitImage down = morphology.openBrick(ink, 1, longRule);
    if (along.isNull() || down.isNull() || (along.isEmpty() && down.isEmpty()))
        return;
    const BitImage tall = morphology.openBrick(BitImage(ink).subtract(down), 1, longRuleThickness + 1);
    const BitImage wide = morphology.openBrick(BitImage(ink).subtract(along), longRuleThickness + 1, 1);
    if (tall.isNull() || wide.isNull())
        return;
    along.subtract(tall);
    down.subtract(wide);
    along |= down;
    blankWhere(rows, along, background);
}

// A cell cursor's frame is drawn in ink this far from the ground at least, far darker than grid lines.
constexpr int frameInkStep = 128;
// Its sides run down at least this many rows.
constexpr int frameSide = 8;
// A light frame round one item (the current item of a file manager's view, a field, a button) has edges at least
// this long, and is at most this many rows high: a table's grid lines, drawn as light, are one piece as high as the
// table.
constexpr int itemFrameEdge = 24;
constexpr int tallestItemFrame = 64;

// The frames drawn in `rows` in ink `step` or more from `background`: thin edges along the rows, `edge` long or
// more, the thin sides down the columns that meet them, and the corners where the two meet. Null when it failed.
BitImage framesOf(const QImage& rows, uchar background, int step, int edge, OcrBackend& morphology) {
    const BitImage ink = inkOf(rows, background, step);
    if (ink.isNull())
        return {};
    // Most rows have no frame: the sides are looked for only once an edge is found.
    BitImage along = morphology.openBrick(ink, edge, 1);
    const BitImage thick = morphology.openBrick(ink, 1, longRuleThickness + 1);
    if (along.isNull() || thick.isNull())
        return {};
    along.subtract(thick);
    if (along.isEmpty())
        return along;
    BitImage down = morphology.openBrick(ink, 1, frameSide);
    const BitImage wide = morphology.openBrick(ink, longRuleThickness + 1, 1);
    if (down.isNull() || wide.isNull())
        return {};
    down.subtract(wide);
    BitImage frames = morphology.seedFill(along, BitImage(along) |= down);
    if (frames.isNull())
        return {};
    // With the corners, where an edge meets a side: neither thin along nor thin across.
    const int reach = 2 * longRuleThickness + 1;
    BitImage nearEdges = morphology.dilateBrick(along, reach, reach);
    const BitImage nearSides = morphology.dilateBrick(BitImage(frames).subtract(along), reach, reach);
    if (nearEdges.isNull() || nearSides.isNull())
        return {};
    nearEdges &= nearSides;
    nearEdges &= ink;
    frames |= nearEdges;
    return frames;
}

} // namespace

QImage withoutFrames(const QImage& page, int top, int end) {
    QImage rows = page.copy(0, top, page.width(), end - top);
    if (rows.width() < itemFrameEdge)
        return {};
    OcrBackend* const morphology = OcrBackend::instance();
    if (!morphology)
        return {};
    const uchar background = backgroundOf(rows).first;
    BitImage frames = rows.width() >= longRule ? framesOf(rows, background, frameInkStep, longRule, *morphology)
                                               : BitImage(rows.width(), rows.height());
    BitImage light = framesOf(rows, background, ruleInkStep, itemFrameEdge, *morphology);
    const BitImage dark = inkOf(rows, background, frameInkStep);
    if (frames.isNull() || light.isNull() || dark.isNull())
        return {};
    if (!light.isEmpty()) {
        // A light frame is light all round, wider than high (an icon's outline is as high as it is wide, and
        // darker), and lower than a table.
        BitImage items(light.width(), light.height());
        for (const PixelBox& piece : morphology->pieces(light)) {
            const int width = piece.right - piece.left;
            const int height = piece.bottom - piece.top;
            if (height < frameSide || height > tallestItemFrame || width < 2 * height)
                continue;
            bool allLight = true;
            for (int y = piece.top; y < piece.bottom && allLight; ++y) {
                for (int x = piece.left; x < piece.right && allLight; ++x)
                    allLight = !(light.test(x, y) && dark.test(x, y));
            }
            for (int y = piece.top; y < piece.bottom && allLight; ++y) {
                for (int x = piece.left; x < piece.right; ++x)
                    items.set(x, y);
            }
        }
        light &= items;
        frames |= light;
    }
    if (frames.isEmpty())
        return {};
    blankWhere(rows, frames, background);
    return rows;
}

namespace {

// A highlight is at least this wide, and this many rows high at least and at most: a line of a list or a name
// under an icon, with its margins. Taller dark blocks are panels or pictures.
constexpr int narrowestHighlight = 24;
constexpr int lowestHighlight = 8;
constexpr int tallestHighlight = 64;
// Writing on it is lighter than this far below the area's ground, in at least this share of its pixels.
constexpr int writingStep = 32;
constexpr double writingShare = 0.02;

// The writing on each highlight of `area` of a prepared page, as boxes of the page.
QList<QRect> highlightedWriting(const QImage& page, const QRect& area) {
    const int ground = backgroundOf(page, area).first;
    const int darkest = ground - blockStep;
    QList<QRect> found;
    if (darkest < 0)
        return found;
    const auto dark = [&](int x, int y) { return int(page.constScanLine(y)[x]) <= darkest; };
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right();) {
            if (!dark(x, y)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x <= area.right() && dark(x, y))
                ++x;
            if (x - start < narrowestHighlight)
                continue;
            // A top row: its sides begin at its ends (its corners may be rounded, but its writing keeps a margin),
            // and run down to the block's bottom row.
            const int left = start;
            const int right = x - 1;
            if (y > area.top() && dark(left, y - 1) && dark(right, y - 1))
                continue;
            int bottom = y;
            while (bottom < area.bottom() && bottom + 1 - y < tallestHighlight && dark(left, bottom + 1) &&
                   dark(right, bottom + 1))
                ++bottom;
            if (bottom + 1 - y < lowestHighlight || bottom + 1 - y >= tallestHighlight)
                continue;
            const QRect block(start, y, x - start, bottom + 1 - y);
            const auto [blockGround, share] = backgroundOf(page, block);
            if (int(blockGround) > darkest || share < 0.5)
                continue;
            // The writing: light pixels between the block's edges, row by row (its corners may be rounded).
            QRect writing;
            int pixels = 0;
            for (int k = block.top(); k <= block.bottom(); ++k) {
                int from = left;
                int to = right;
                while (from > area.left() && dark(from - 1, k))
                    --from;
                while (to < area.right() && dark(to + 1, k))
                    ++to;
                const uchar* row = page.constScanLine(k);
                for (int i = from; i <= to; ++i) {
                    if (int(row[i]) > ground - writingStep) {
                        writing |= QRect(i, k, 1, 1);
                        ++pixels;
                    }
                }
            }
            if (pixels >= writingShare * block.width() * block.height())
                found.append(writing);
        }
    }
    return found;
}

} // namespace

QList<QRect> withHighlightedNames(const QImage& page, const QRect& area, QList<QRect> boxes) {
    for (const QRect& writing : highlightedWriting(page, area)) {
        // A box reaches in when it lies on the writing's rows (each one's middle within the other's) and meets it.
        const auto reaches = [&](const QRect& box) {
            return box.intersects(writing.adjusted(-1, 0, 1, 0)) && box.top() <= writing.center().y() &&
                   writing.center().y() <= box.bottom() && writing.top() <= box.center().y() &&
                   box.center().y() <= writing.bottom();
        };
        QRect joined = writing;
        for (const QRect& box : boxes) {
            if (reaches(box))
                joined |= box;
        }
        boxes.removeIf(reaches);
        boxes.append(joined);
    }
    return boxes;
}

namespace {

// Pieces of ink the size of a letter or a digit: this many beside the lines a layout found means it left text.
constexpr int leftoverPieces = 3;
constexpr int smallestLetter = 6;
// Dashes of a dashed rule are at most this wide.
constexpr int thinnestDash = 2;
constexpr int largestLetter = 64;

} // namespace

QList<QRect> leftoverLines(const QImage& page, const QRect& area, const QList<QRect>& boxes) {
    QImage rows = page.copy(area);
    if (rows.isNull() || boxes.isEmpty())
        return {};
    OcrBackend* const morphology = OcrBackend::instance();
    if (!morphology)
        return {};
    const uchar background = backgroundOf(rows).first;
    blankLongRules(rows, background, *morphology);
    {
        QPainter painter(&rows);
        for (const QRect& box : boxes)
            painter.fillRect(box.translated(-area.topLeft()), QColor(background, background, background));
    }
    const BitImage ink = inkOf(rows, background, ruleInkStep);
    if (ink.isNull())
        return {};
    // The pieces beside each line, by the line whose rows hold their middle. Pieces smaller than a letter (a
    // minus sign, a decimal point) belong to the words beside them but never make one.
    struct Piece {
        QRect box;
        bool letter = false;
    };
    std::vector<std::vector<Piece>> beside(size_t(boxes.size()));
    int letters = 0;
    for (const PixelBox& found : morphology->pieces(ink)) {
        const int width = found.right - found.left;
        const int height = found.bottom - found.top;
        if (height > largestLetter || width > largestLetter)
            continue;
        const QRect piece(area.left() + found.left, area.top() + found.top, width, height);
        // The tallest line on the piece's rows: cells of one row are boxed apart, some without ascenders.
        const int middle = piece.center().y();
        auto line = boxes.end();
        for (auto box = boxes.begin(); box != boxes.end(); ++box) {
            if (box->top() <= middle && middle <= box->bottom() &&
                (line == boxes.end() || box->height() > line->height()))
                line = box;
        }
        if (line == boxes.end())
            continue;
        // A piece as thin as a rule and shorter than a digit is a dash of a dashed rule (a page break).
        const bool letter = height >= smallestLetter && (width > thinnestDash || height * 4 >= line->height() * 3);
        letters += letter;
        beside[size_t(line - boxes.begin())].push_back({piece, letter});
    }
    if (letters < leftoverPieces)
        return {};
    QList<QRect> lines;
    for (size_t i = 0; i < beside.size(); ++i) {
        std::vector<Piece>& pieces = beside[i];
        std::sort(pieces.begin(), pieces.end(),
                  [](const Piece& a, const Piece& b) { return a.box.left() < b.box.left(); });
        const QRect& line = boxes.at(qsizetype(i));
        const auto close = [&](const QRect& group) {
            if (!group.isNull() && group.height() <= line.height())
                lines.append(group);
        };
        QRect group;
        bool hasLetter = false;
        for (const Piece& piece : pieces) {
            if (!group.isNull() && piece.box.left() - group.right() > line.height()) {
                if (hasLetter)
                    close(group);
                group = QRect();
                hasLetter = false;
            }
            group |= piece.box;
            hasLetter = hasLetter || piece.letter;
        }
        if (hasLetter)
            close(group);
    }
    return lines;
}

QList<QRect> joinedAcrossGridLines(const QImage& page, const QRect& area, QList<QRect> boxes) {
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
            for (int x = std::max(2, row.right() + 1); x < box.left() && x + 2 < page.width() && !merged; ++x)
                merged = isGridLineBetween(page, x, area.top(), area.bottom() + 1, span);
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

QList<QRect> withTableRows(const QImage& page, const QRect& area, QList<QRect> boxes) {
    // The rows found are joined first: a piece left between two cells of a row must not keep them apart.
    boxes = joinedAcrossGridLines(page, area, boxes);
    const QList<QRect> found = boxes;
    for (const QRect& box : leftoverLines(page, area, found)) {
        // The pieces are grouped on the rows of a line found, no taller than it: only an overlap is left to rule out.
        if (std::any_of(found.begin(), found.end(), [&](const QRect& line) { return line.intersects(box); }))
            continue;
        boxes.append(box);
    }
    if (boxes.size() == found.size())
        return boxes;
    QList<QRect> joined = joinedAcrossGridLines(page, area, boxes);
    joined.removeIf([&](const QRect& line) {
        return std::none_of(found.begin(), found.end(), [&](const QRect& box) { return line.contains(box); });
    });
    return joined;
}

} // namespace tavrine

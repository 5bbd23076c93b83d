#include "tavrine/ocr/LineCleanup.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace tavrine {

namespace {

// The commonest grey of an 8-bit grey image, and the share of its pixels that have it.
std::pair<uchar, double> backgroundOf(const QImage& grey) {
    int histogram[256] = {};
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            ++histogram[row[x]];
    }
    const auto most = std::max_element(std::begin(histogram), std::end(histogram));
    const qint64 pixels = qint64(grey.width()) * grey.height();
    return {uchar(most - histogram), pixels > 0 ? double(*most) / double(pixels) : 0.0};
}

// Rules (grid lines, borders, a cell cursor's frame) are found in a line's crop by these measures, all in rows
// and columns of the crop. A grey at least this far from the line's background is ink for them; grid lines are
// drawn lighter than text, down to about 30 steps from white.
constexpr int ruleInkStep = 24;
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
    const auto [background, share] = backgroundOf(line);
    // Ink is told from the ground by its grey: on a line over grounds of several greys (a coloured block beside
    // plain text), the gaps between letters would pass for rules.
    if (share < 0.5)
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
    const int background = backgroundOf(line).first;
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
    // beside it: a panel's light edge is as grey as the ground around it. Rows beyond [top, end) are not seen: a
    // row at the edge of the stretch passes there.
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

} // namespace

QRect lineReach(const QRect& box, const QRect& page) {
    return QRect(box.left(), box.top() - ruleReach, box.width(), box.height() + 2 * ruleReach).intersected(page);
}

QImage cleanLineCrop(const QImage& page, const QRect& box) {
    return withGapsNarrowed(withoutRules(page, box, lineReach(box, page.rect())), box.height());
}

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

} // namespace tavrine

#include "tavrine/ocr/LineCleanup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace tavrine {

std::pair<uchar, double> backgroundOf(const QImage& grey, QRect area) {
    if (area.isNull())
        area = grey.rect();
    int histogram[256] = {};
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = area.left(); x <= area.right(); ++x)
            ++histogram[row[x]];
    }
    const auto most = std::max_element(std::begin(histogram), std::end(histogram));
    const qint64 pixels = qint64(area.width()) * area.height();
    return {uchar(most - histogram), pixels > 0 ? double(*most) / double(pixels) : 0.0};
}

namespace {

// Rules (grid lines, borders, a cell cursor's frame) are found in a line's crop by these measures, all in rows
// and columns of the crop; a grey ruleInkStep from the line's background is ink for them.
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
// Leptonica's openings (long runs along and down, less the thick ink) find the same rules in half the time, but
// without the tests of one grey and of the ground beside a rule they also take the descenders that reach a grid
// line: on the drawn sheets "garden" read "carden" and "planning" "dlanninc". The loops cost about 0.3 ms a line,
// against some 20 ms for its recognition.
QImage withoutRules(const QImage& page, const QRect& box, const QRect& reach) {
    QImage line = page.copy(box);
    const int width = box.width();
    const int height = box.height();
    const int above = box.top() - reach.top();
    const int below = reach.bottom() - box.bottom();
    // Named apart rather than bound as a pair: the lambdas below capture the grey, and clang before 16 refuses a
    // capture of a structured binding.
    const std::pair<uchar, double> ground = backgroundOf(line);
    const uchar background = ground.first;
    // Ink is told from the ground by its grey: on a line over grounds of several greys (a coloured block beside
    // plain text), the gaps between letters would pass for rules.
    if (ground.second < 0.5)
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

// Which columns of `area` of an 8-bit grey image (all of it when null) hold no ink: no grey `inkStep` or more from
// the area's background.
std::vector<bool> blankColumns(const QImage& grey, QRect area = {}, int inkStep = ruleInkStep) {
    if (area.isNull())
        area = grey.rect();
    const int background = backgroundOf(grey, area).first;
    std::vector<bool> blank(size_t(area.width()), true);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar* row = grey.constScanLine(y) + area.left();
        for (int x = 0; x < area.width(); ++x)
            blank[size_t(x)] = blank[size_t(x)] && std::abs(int(row[x]) - background) < inkStep;
    }
    return blank;
}

// The line with every run of blank columns wider than `widest` cut down to that width. The recognizer reads a
// wide blank inside a line, such as the space between two cells of a table's row, as dashes and rules, and
// doubts the whole line; a blank as wide as the line is high still reads as a space.
QImage withGapsNarrowed(const QImage& line, int widest) {
    const int width = line.width();
    const int height = line.height();
    const std::vector<bool> blank = blankColumns(line);
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

// `rows` (a line box's rows `first` to `last` and the rows around them) with each dark block's pixels turned over
// about its ground, so that its ground takes the line's and the light writing on it turns dark. A block is a run of
// columns, at least as wide as the line is high, whose top and bottom pixels (or most of whose pixels) lie
// blockStep below the line's ground: a selected item's highlight around its name, drawn light on it. Read as it
// shows, the recognizer takes the names beside it for noise too; the rules are looked for afterwards, when the
// block's edges are the line's ground.
QImage withDarkBlocksTurned(QImage rows, int first, int last) {
    const int width = rows.width();
    const int ground = backgroundOf(rows, QRect(0, first, width, last - first + 1)).first;
    const auto isDark = [&](int x, int y) { return int(rows.constScanLine(y)[x]) <= ground - blockStep; };
    std::vector<bool> dark(size_t(width), false);
    for (int x = 0; x < width; ++x) {
        int count = 0;
        for (int y = first; y <= last; ++y)
            count += isDark(x, y);
        dark[size_t(x)] = (isDark(x, first) && isDark(x, last)) || count * 2 > last - first + 1;
    }
    // A letter's stem reaches through the block's top or bottom row: narrow breaks belong to the block.
    const int height = last - first + 1;
    for (int x = 0, lastDark = -1; x < width; ++x) {
        if (!dark[size_t(x)])
            continue;
        if (lastDark >= 0 && x - lastDark - 1 <= height / 2)
            std::fill(dark.begin() + lastDark + 1, dark.begin() + x, true);
        lastDark = x;
    }
    for (int x = 0; x < width;) {
        if (!dark[size_t(x)]) {
            ++x;
            continue;
        }
        const int start = x;
        while (x < width && dark[size_t(x)])
            ++x;
        // Dark letters side by side are no block, bold ones neither: a block's own ground is its commonest grey,
        // and it runs along the line's top and bottom rows, above and below the writing.
        const int blockGround = backgroundOf(rows, QRect(start, first, x - start, height)).first;
        const auto along = [&](int y) {
            const uchar* row = rows.constScanLine(y);
            const auto near = [blockGround](uchar pixel) { return std::abs(int(pixel) - blockGround) < blockStep / 4; };
            return int(std::count_if(row + start, row + x, near)) * 5 >= (x - start) * 4;
        };
        if (x - start < height || blockGround > ground - blockStep || !along(first) || !along(last))
            continue;
        for (int y = 0; y < rows.height(); ++y)
            turnOver(rows, y, start, x - 1, ground, blockGround);
    }
    return rows;
}

} // namespace

void turnOver(QImage& grey, int y, int left, int right, int ground, int blockGround) {
    // The block's ground goes to the line's, the lightest writing to black.
    const double scale = double(ground) / std::max(1, 255 - blockGround);
    uchar* row = grey.scanLine(y);
    for (int x = left; x <= right; ++x)
        row[x] = uchar(std::clamp(int(std::lround(ground - (int(row[x]) - blockGround) * scale)), 0, 255));
}

QRect lineReach(const QRect& box, const QRect& page) {
    return QRect(box.left(), box.top() - ruleReach, box.width(), box.height() + 2 * ruleReach).intersected(page);
}

QImage cleanLineCrop(const QImage& page, const QRect& box) {
    const QRect reach = lineReach(box, page.rect());
    const QRect inReach = box.translated(-reach.topLeft());
    const QImage rows = withDarkBlocksTurned(page.copy(reach), inReach.top(), inReach.bottom());
    return withGapsNarrowed(withoutRules(rows, inReach, rows.rect()), box.height());
}

namespace {

// How much of the page beside a line read on its own is read with it, in the line's heights on either side.
constexpr double lineContext = 2.0;
// Along a line read on its own, a run of ink at least this many of the line's heights long is no writing: a
// field's edge, or the grey block of the buttons beside it.
constexpr double blockLength = 6.0;
// How far from the line's ground a pixel is ink for those runs.
constexpr int blockInkStep = 40;

} // namespace

QImage lineInContext(const QImage& page, const QRect& box, double inkGain, QPoint& origin) {
    const int side = int(std::lround(box.height() * lineContext));
    const QRect across =
        QRect(box.left() - side, box.top(), box.width() + 2 * side, box.height()).intersected(page.rect());
    if (across.isEmpty())
        return {};
    const uchar ground = backgroundOf(page, across).first;
    const int padding = std::max(2, box.height() / 4);
    QImage line(across.width(), across.height() + 2 * padding, QImage::Format_Grayscale8);
    if (line.isNull())
        return {};
    line.fill(uint(ground));
    const int longest = std::max(1, int(std::lround(box.height() * blockLength)));
    for (int y = 0; y < across.height(); ++y) {
        uchar* row = line.scanLine(padding + y);
        std::memcpy(row, page.constScanLine(across.top() + y) + across.left(), size_t(across.width()));
        // The page is prepared as dark writing on a light ground: ink lies below the ground. Darkened before the
        // runs are looked for: a faint edge of a field comes out of it as a dark one.
        if (inkGain > 1.0) {
            for (int x = 0; x < across.width(); ++x) {
                const int depth = int(ground) - int(row[x]);
                if (depth > 0)
                    row[x] = uchar(std::max(0, int(ground) - int(std::lround(depth * inkGain))));
            }
        }
        int start = -1;
        for (int x = 0; x <= across.width(); ++x) {
            const bool ink = x < across.width() && std::abs(int(row[x]) - int(ground)) > blockInkStep;
            if (ink && start < 0)
                start = x;
            if (!ink && start >= 0) {
                if (x - start >= longest)
                    std::fill(row + start, row + x, ground);
                start = -1;
            }
        }
    }
    origin = QPoint(across.left(), across.top() - padding);
    return line;
}

std::vector<std::pair<int, int>> piecesOf(const QImage& grey, const QRect& area, int gap, int inkStep) {
    const std::vector<bool> blank = blankColumns(grey, area, inkStep);
    std::vector<std::pair<int, int>> pieces;
    for (int x = 0; x < area.width();) {
        if (blank[size_t(x)]) {
            ++x;
            continue;
        }
        const int left = x;
        while (x < area.width() && !blank[size_t(x)])
            ++x;
        if (!pieces.empty() && left + area.left() - pieces.back().second < gap)
            pieces.back().second = x + area.left();
        else
            pieces.emplace_back(left + area.left(), x + area.left());
    }
    return pieces;
}

QImage writingOf(const QImage& crop) {
    // Its rules go by its own ground: a line over several grounds (a field beside the grey of a tool bar) kept them.
    const QImage piece = withoutRules(crop, crop.rect(), crop.rect());
    const int width = piece.width();
    const int height = piece.height();
    const int ground = backgroundOf(piece).first;
    // The rows each column's ink reaches, [top, end); none for a blank column.
    std::vector<std::pair<int, int>> reach(size_t(width), {height, 0});
    for (int y = 0; y < height; ++y) {
        const uchar* row = piece.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            if (std::abs(int(row[x]) - ground) >= ruleInkStep) {
                reach[size_t(x)].first = std::min(reach[size_t(x)].first, y);
                reach[size_t(x)].second = y + 1;
            }
        }
    }
    const auto inked = [&](int x) { return reach[size_t(x)].second > 0; };
    // The run of ink columns at the end `from` (stepping by `step`), when it is a bar: at most ruleThickness of the
    // piece's height wide, apart from the rest by a blank column, and reaching beyond the rows of all the rest.
    const auto barWidth = [&](int from, int step) {
        int x = from;
        while (x >= 0 && x < width && !inked(x))
            x += step;
        const int start = x;
        while (x >= 0 && x < width && inked(x))
            x += step;
        const int bar = std::abs(x - start);
        if (bar == 0 || bar > std::max(3, int(std::lround(height * ruleThickness))) || x < 0 || x >= width)
            return 0;
        int top = height;
        int end = 0;
        for (int k = x; k >= 0 && k < width; k += step) {
            top = std::min(top, reach[size_t(k)].first);
            end = std::max(end, reach[size_t(k)].second);
        }
        if (end <= top)
            return 0;
        for (int k = start; k != x; k += step) {
            if (reach[size_t(k)].first < top - 1 || reach[size_t(k)].second > end + 1)
                return std::abs(x - from);
        }
        return 0;
    };
    const int left = barWidth(0, 1);
    const int right = barWidth(width - 1, -1);
    if (left + right >= width)
        return piece;
    int top = height;
    int end = 0;
    for (int x = left; x < width - right; ++x) {
        top = std::min(top, reach[size_t(x)].first);
        end = std::max(end, reach[size_t(x)].second);
    }
    if (end <= top)
        return piece;
    if (left == 0 && right == 0 && top == 0 && end == height)
        return piece;
    return piece.copy(left, top, width - left - right, end - top);
}

QImage paddedLine(const QImage& line, int padding) {
    QImage padded(line.width() + 2 * padding, line.height() + 2 * padding, QImage::Format_Grayscale8);
    padded.fill(255);
    const bool invert = isMostlyDark(line, line.rect());
    for (int y = 0; y < line.height(); ++y) {
        const uchar* from = line.constScanLine(y);
        uchar* to = padded.scanLine(padding + y) + padding;
        if (invert) {
            for (int x = 0; x < line.width(); ++x)
                to[x] = uchar(255 - from[x]);
        } else {
            std::memcpy(to, from, size_t(line.width()));
        }
    }
    return padded;
}

bool isMostlyDark(const QImage& grey, const QRect& rect) {
    qint64 dark = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = rect.left(); x <= rect.right(); ++x)
            dark += row[x] < 128;
    }
    return dark * 2 > qint64(rect.width()) * rect.height();
}

} // namespace tavrine

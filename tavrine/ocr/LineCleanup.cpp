#include "tavrine/ocr/LineCleanup.h"

#include "tavrine/ocr/OcrBackend.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace tavrine {

namespace {

// The commonest grey of an 8-bit grey image (of `area` of it, when given), and the share of its pixels that have
// it.
std::pair<uchar, double> backgroundOf(const QImage& grey, QRect area = {}) {
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

// Which columns of a line crop hold no ink: no grey a rule's step from its background.
std::vector<bool> blankColumns(const QImage& line) {
    const int background = backgroundOf(line).first;
    std::vector<bool> blank(size_t(line.width()), true);
    for (int y = 0; y < line.height(); ++y) {
        const uchar* row = line.constScanLine(y);
        for (int x = 0; x < line.width(); ++x)
            blank[size_t(x)] = blank[size_t(x)] && std::abs(int(row[x]) - background) < ruleInkStep;
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

} // namespace

QImage withoutCursorFrames(const QImage& page, int top, int end) {
    QImage rows = page.copy(0, top, page.width(), end - top);
    if (rows.width() < longRule)
        return {};
    OcrBackend* const morphology = OcrBackend::instance();
    if (!morphology)
        return {};
    const uchar background = backgroundOf(rows).first;
    const BitImage dark = inkOf(rows, background, frameInkStep);
    if (dark.isNull())
        return {};
    // Its edges: long thin dark runs along the rows. Its sides: thin dark runs down the columns that meet them.
    // Most rows have no frame: the sides are looked for only once an edge is found.
    BitImage along = morphology->openBrick(dark, longRule, 1);
    const BitImage thick = morphology->openBrick(dark, 1, longRuleThickness + 1);
    if (along.isNull() || thick.isNull())
        return {};
    along.subtract(thick);
    if (along.isEmpty())
        return {};
    BitImage down = morphology->openBrick(dark, 1, frameSide);
    const BitImage wide = morphology->openBrick(dark, longRuleThickness + 1, 1);
    if (down.isNull() || wide.isNull())
        return {};
    down.subtract(wide);
    BitImage frames = morphology->seedFill(along, BitImage(along) |= down);
    if (frames.isNull())
        return {};
    // With the corners, where an edge meets a side: neither thin along nor thin across.
    const int reach = 2 * longRuleThickness + 1;
    BitImage nearEdges = morphology->dilateBrick(along, reach, reach);
    const BitImage nearSides = morphology->dilateBrick(BitImage(frames).subtract(along), reach, reach);
    if (nearEdges.isNull() || nearSides.isNull())
        return {};
    nearEdges &= nearSides;
    nearEdges &= dark;
    frames |= nearEdges;
    blankWhere(rows, frames, background);
    return rows;
}

namespace {

// Pieces of ink the size of a letter or a digit: this many beside the lines a layout found means it left text.
constexpr int leftoverPieces = 3;
constexpr int smallestLetter = 6;
// Dashes of a dashed rule are at most this wide.
constexpr int thinnestDash = 2;
constexpr int largestLetter = 64;

} // namespace

QList<QRect> leftoverLines(const QImage& page, int top, int end, const QList<QRect>& boxes) {
    QImage rows = page.copy(0, top, page.width(), end - top);
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
            painter.fillRect(box.translated(0, -top), QColor(background, background, background));
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
        const QRect piece(found.left, top + found.top, width, height);
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

QList<QImage> piecesOfCrop(const QImage& line, int gap) {
    const std::vector<bool> blank = blankColumns(line);
    QList<QImage> pieces;
    int left = 0;
    for (int x = 0; x < line.width();) {
        if (!blank[size_t(x)]) {
            ++x;
            continue;
        }
        const int start = x;
        while (x < line.width() && blank[size_t(x)])
            ++x;
        if (x - start >= gap && start > left && x < line.width()) {
            pieces.append(line.copy(left, 0, start - left, line.height()));
            left = x;
        }
    }
    if (pieces.isEmpty())
        return {line};
    pieces.append(line.copy(left, 0, line.width() - left, line.height()));
    return pieces;
}

QRect lineReach(const QRect& box, const QRect& page) {
    return QRect(box.left(), box.top() - ruleReach, box.width(), box.height() + 2 * ruleReach).intersected(page);
}

QImage cleanLineCrop(const QImage& page, const QRect& box) {
    return withGapsNarrowed(withoutRules(page, box, lineReach(box, page.rect())), box.height());
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
            for (int x = std::max(2, row.right() + 1); x < box.left() && x + 2 < page.width() && !merged; ++x)
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

#include "tavrine/capture/AddressGlyphs.h"

#include "tavrine/ocr/LineCleanup.h"
#include "tavrine/ocr/OcrBackend.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace tavrine::capture {

namespace {

// A grey this far from the ground is ink, however light the writing near it.
constexpr int faintestInk = 24;

bool oneOf(QChar c, const char* set) {
    return c.unicode() > 0 && c.unicode() < 128 && std::strchr(set, c.toLatin1()) != nullptr;
}

// Letters whose capital has their shape: only their height tells them apart.
constexpr const char* smallTwins = "cosuvwxz";
constexpr const char* capitalTwins = "COSUVWXZ";
// What the measures of a line are taken from: small letters of x-height, capitals and digits, tall small letters,
// and digits of one width.
constexpr const char* xHeightLetters = "aemnr";
constexpr const char* capitalHeights = "0123456789ABDEFGHJKLMNPQRTY";
constexpr const char* ascenderLetters = "bdhk";
constexpr const char* evenDigits = "23456789";
// Small letters about as wide as those digits: the measure of a line without them.
constexpr const char* roundLetters = "abdegnopqu";
// Single strokes: a dot, a flag or a height is all that tells them apart.
constexpr const char* dotted = "ij";
// What sits on the line and what hangs below it.
constexpr const char* sitting = "0123456789abcdefhiklmnorstuvwxzABCDEFGHIKLMNOPRSTUVWXYZ";
constexpr const char* hanging = "gjpqy";
constexpr const char* strokes = "lI1|";

// How many pieces of ink a character is drawn in, at most and at least: an i has its dot, a colon two points, and
// a question mark's dot may touch its hook.
int mostPiecesOf(QChar c) {
    if (oneOf(c, "ij?!:;=\""))
        return 2;
    if (c == QLatin1Char('%'))
        return 3;
    return 1;
}

int fewestPiecesOf(QChar c) {
    return oneOf(c, "?!%") ? 1 : mostPiecesOf(c);
}

// How wide a character's ink is in a plain sans-serif face, in hundredths of its size: what tells a glyph that holds
// two touching characters ("rt", "ty") from one that holds a single wide one ("m").
int inkWidth(QChar c) {
    if (oneOf(c, "ijlI|.:;!,'"))
        return 12;
    if (oneOf(c, "ftr/()[]1-"))
        return 34;
    if (oneOf(c, "mwMW%@"))
        return 86;
    if (oneOf(c, "ABCDEGHKNOQRUVXY#&~=+"))
        return 64;
    return 52;
}

std::optional<int> median(std::vector<int> values) {
    if (values.empty())
        return std::nullopt;
    std::nth_element(values.begin(), values.begin() + qsizetype(values.size() / 2), values.end());
    return values.at(values.size() / 2);
}

// The ink of an area of a prepared page. A pixel is ink when it lies at least half as far from the ground as the
// darkest pixel of its column and the columns beside it: a grey letter beside a black one keeps its own strokes,
// and the faint pixels between two letters fall short of the strokes beside them.
class InkMap {
public:
    InkMap(const QImage& page, const QRect& wanted) : m_page(page), m_area(wanted.intersected(page.rect())) {
        if (m_area.isEmpty() || page.format() != QImage::Format_Grayscale8) {
            m_area = QRect();
            return;
        }
        m_ground = backgroundOf(page, m_area).first;
        std::vector<int> darkest(size_t(m_area.width()), 255);
        for (int y = m_area.top(); y <= m_area.bottom(); ++y) {
            for (int x = m_area.left(); x <= m_area.right(); ++x)
                darkest[size_t(x - m_area.left())] = std::min(darkest[size_t(x - m_area.left())], grey(x, y));
        }
        m_limit.resize(darkest.size());
        for (size_t x = 0; x < darkest.size(); ++x) {
            const int deepest =
                std::min({darkest[x], x > 0 ? darkest[x - 1] : 255, x + 1 < darkest.size() ? darkest[x + 1] : 255});
            m_limit[x] = m_ground - std::max(faintestInk, (m_ground - deepest) / 2);
        }
    }

    const QRect& area() const { return m_area; }
    // Page coordinates within the area.
    bool ink(int x, int y) const { return grey(x, y) <= m_limit[size_t(x - m_area.left())]; }
    int depth(int x, int y) const { return std::max(0, m_ground - grey(x, y)); }
    // The top row of ink in columns `left` to `right`, rows `top` to `bottom`; none without ink.
    std::optional<int> topIn(int left, int right, int top, int bottom) const {
        for (int y = std::max(top, m_area.top()); y <= std::min(bottom, m_area.bottom()); ++y) {
            for (int x = std::max(left, m_area.left()); x <= std::min(right, m_area.right()); ++x) {
                if (ink(x, y))
                    return y;
            }
        }
        return std::nullopt;
    }
    // Whether the ink of columns `left` to `right` parts into two or more pieces down the rows `top` to `bottom`:
    // an ink row, blank rows, an ink row (an i's dot over its stem).
    bool partsDown(int left, int right, int top, int bottom) const {
        int pieces = 0;
        bool inInk = false;
        for (int y = std::max(top, m_area.top()); y <= std::min(bottom, m_area.bottom()); ++y) {
            bool any = false;
            for (int x = std::max(left, m_area.left()); x <= std::min(right, m_area.right()) && !any; ++x)
                any = ink(x, y);
            if (any && !inInk)
                ++pieces;
            inInk = any;
        }
        return pieces >= 2;
    }

private:
    int grey(int x, int y) const { return m_page.constScanLine(y)[x]; }

    const QImage& m_page;
    QRect m_area;
    int m_ground = 255;
    std::vector<int> m_limit;
};

// A glyph of a line: a piece of ink with the pieces right above or below it (an i's dot, a colon's points).
struct Glyph {
    QRect box;
    QList<QRect> pieces;
};

// The glyphs of the map's area, left to right.
QList<Glyph> glyphsOf(const InkMap& map) {
    const QRect& area = map.area();
    if (area.isEmpty())
        return {};
    OcrBackend* const morphology = OcrBackend::instance();
    if (!morphology)
        return {};
    BitImage ink(area.width(), area.height());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (map.ink(x, y))
                ink.set(x - area.left(), y - area.top());
        }
    }
    QList<QRect> pieces;
    for (const PixelBox& found : morphology->pieces(ink))
        pieces.append(QRect(area.left() + found.left, area.top() + found.top, found.right - found.left,
                            found.bottom - found.top));
    std::sort(pieces.begin(), pieces.end(), [](const QRect& a, const QRect& b) { return a.left() < b.left(); });
    // Pieces one above the other, sharing at least half the narrower one's columns, are one glyph.
    QList<Glyph> glyphs;
    for (const QRect& piece : pieces) {
        const auto above = std::find_if(glyphs.begin(), glyphs.end(), [&](const Glyph& glyph) {
            const int shared =
                std::min(glyph.box.right(), piece.right()) - std::max(glyph.box.left(), piece.left()) + 1;
            return 2 * shared >= std::min(glyph.box.width(), piece.width());
        });
        if (above != glyphs.end()) {
            above->box |= piece;
            above->pieces.append(piece);
        } else {
            glyphs.append({piece, {piece}});
        }
    }
    std::sort(glyphs.begin(), glyphs.end(), [](const Glyph& a, const Glyph& b) { return a.box.left() < b.box.left(); });
    return glyphs;
}

// Which glyph each character stands on: in order, every glyph bearing one character at least and three at most,
// each glyph as wide as its characters would be, and the characters' boxes near it (a recognizer places a
// character's box only roughly). Empty when no such placing exists: there are more glyphs than characters.
std::vector<qsizetype> standingOf(const QString& text, const QList<QRect>& characters, const QList<Glyph>& glyphs,
                                  double scale) {
    const qsizetype count = characters.size();
    const qsizetype places = glyphs.size();
    if (places == 0 || places > count)
        return {};
    constexpr qsizetype mostShared = 3;
    constexpr double unreachable = 1e18;
    // cost[i][j]: the least misfit with the characters before i on the glyphs before j; from[i][j]: the first
    // character on glyph j - 1 then.
    std::vector<std::vector<double>> cost(size_t(count + 1), std::vector<double>(size_t(places + 1), unreachable));
    std::vector<std::vector<qsizetype>> from(size_t(count + 1), std::vector<qsizetype>(size_t(places + 1), -1));
    cost[0][0] = 0;
    for (qsizetype i = 1; i <= count; ++i) {
        for (qsizetype j = 1; j <= std::min(i, places); ++j) {
            const QRect& glyph = glyphs.at(j - 1).box;
            double width = 0;
            QRect boxes;
            for (qsizetype k = i - 1; k >= std::max<qsizetype>(0, i - mostShared); --k) {
                width += inkWidth(text.at(k)) * scale;
                boxes |= characters.at(k);
                if (cost[size_t(k)][size_t(j - 1)] >= unreachable)
                    continue;
                const double misfit =
                    std::abs(glyph.width() - width) + 0.5 * std::abs(glyph.center().x() - boxes.center().x());
                if (cost[size_t(k)][size_t(j - 1)] + misfit < cost[size_t(i)][size_t(j)]) {
                    cost[size_t(i)][size_t(j)] = cost[size_t(k)][size_t(j - 1)] + misfit;
                    from[size_t(i)][size_t(j)] = k;
                }
            }
        }
    }
    if (cost[size_t(count)][size_t(places)] >= unreachable)
        return {};
    std::vector<qsizetype> standing(static_cast<size_t>(count));
    for (qsizetype i = count, j = places; j > 0; --j) {
        const qsizetype k = from[size_t(i)][size_t(j)];
        for (qsizetype c = k; c < i; ++c)
            standing[size_t(c)] = j - 1;
        i = k;
    }
    return standing;
}

// The centres of the stems of a glyph: the runs of columns with ink in its lower half, each centre weighed by the
// ink of the run and of the columns beside it (where a stem's edge falls between two pixels).
std::vector<double> stemsOf(const InkMap& map, const QRect& glyph) {
    const int top = glyph.top() + glyph.height() / 2;
    const auto inkOf = [&](int x) {
        int sum = 0;
        for (int y = top; y <= glyph.bottom(); ++y)
            sum += map.area().contains(x, y) ? map.depth(x, y) : 0;
        return sum;
    };
    const auto anyInk = [&](int x) {
        for (int y = top; y <= glyph.bottom(); ++y) {
            if (map.ink(x, y))
                return true;
        }
        return false;
    };
    std::vector<double> stems;
    for (int x = glyph.left(); x <= glyph.right();) {
        if (!anyInk(x)) {
            ++x;
            continue;
        }
        const int first = x;
        while (x <= glyph.right() && anyInk(x))
            ++x;
        double weight = 0;
        double moment = 0;
        for (int c = first - 1; c <= x; ++c) {
            weight += inkOf(c);
            moment += double(inkOf(c)) * c;
        }
        stems.push_back(moment / weight);
    }
    return stems;
}

// How far right the ink of a glyph's top row lies of the ink of its bottom row, in pixels.
int leanOf(const InkMap& map, const QRect& glyph) {
    const auto middle = [&](int y) {
        int first = INT_MAX;
        int last = INT_MIN;
        for (int x = glyph.left(); x <= glyph.right(); ++x) {
            if (map.ink(x, y)) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
        return first + last;
    };
    return (middle(glyph.top()) - middle(glyph.bottom())) / 2;
}

// A glyph bearing touching characters is at least this share of their width.
constexpr double squeezed = 0.7;

// The outer stems of the m's of one line stand this many pixels apart at most. Measured on real bars: the m's of a
// line within 0.1, an "rn" drawn as one glyph 0.6 wider than the line's m.
constexpr double unevenSpans = 0.3;

} // namespace

QString glyphDoubt(const QImage& page, const OcrWord& word) {
    const qsizetype count = word.text.size();
    if (count == 0 || word.characterBoxes.size() != count)
        return QStringLiteral("no box for each character");
    QRect span;
    for (const QRect& box : word.characterBoxes)
        span |= box;
    // Letters of a word stand closer than this; ink beyond it belongs to something else.
    const int spacing = std::max(1, span.height() / 5);
    const InkMap map(
        page, QRect(span.left() - 2 * spacing, word.box.top() - 1, span.width() + 4 * spacing, word.box.height() + 2));
    QList<Glyph> glyphs = glyphsOf(map);
    glyphs.erase(std::remove_if(glyphs.begin(), glyphs.end(),
                                [&](const Glyph& glyph) {
                                    return glyph.box.center().x() < span.left() - spacing ||
                                           glyph.box.center().x() > span.right() + spacing;
                                }),
                 glyphs.end());
    // The face's size on this line: the glyphs' ink against the characters' widths.
    double ink = 0;
    double widths = 0;
    for (const Glyph& glyph : glyphs)
        ink += glyph.box.width();
    for (const QChar c : word.text)
        widths += inkWidth(c);
    const double scale = ink / widths;
    const std::vector<qsizetype> standsOn = standingOf(word.text, word.characterBoxes, glyphs, scale);
    if (standsOn.empty())
        return QStringLiteral("%1 glyphs for %2 characters").arg(glyphs.size()).arg(count);
    std::vector<std::vector<qsizetype>> borne(size_t(glyphs.size()));
    for (qsizetype i = 0; i < count; ++i)
        borne[size_t(standsOn[size_t(i)])].push_back(i);

    // The columns of each character: its glyph's, or its share of a glyph it shares by the characters' widths, less a
    // quarter on each side that touches another character (a slash leans over its neighbour).
    std::vector<std::pair<int, int>> columns(static_cast<size_t>(count));
    for (qsizetype g = 0; g < glyphs.size(); ++g) {
        const std::vector<qsizetype>& chars = borne[size_t(g)];
        const QRect& box = glyphs.at(g).box;
        double total = 0;
        for (qsizetype i : chars)
            total += inkWidth(word.text.at(i));
        double left = box.left();
        for (size_t n = 0; n < chars.size(); ++n) {
            const double share = box.width() * inkWidth(word.text.at(chars[n])) / total;
            const double inset = share / 4;
            const int from = int(std::lround(left + (n > 0 ? inset : 0)));
            const int to = int(std::lround(left + share - 1 - (n + 1 < chars.size() ? inset : 0)));
            columns[size_t(chars[n])] = {from, std::max(from, to)};
            left += share;
        }
    }
    const auto topOf = [&](qsizetype i) {
        return map.topIn(columns[size_t(i)].first, columns[size_t(i)].second, map.area().top(), map.area().bottom());
    };

    // The line's measures, from glyphs that bear one character each.
    std::vector<int> xTops, capitalTops, ascenderTops, digitWidths, letterWidths, baselines;
    for (qsizetype g = 0; g < glyphs.size(); ++g) {
        if (borne[size_t(g)].size() != 1)
            continue;
        const QChar c = word.text.at(borne[size_t(g)].front());
        const QRect& box = glyphs.at(g).box;
        if (oneOf(c, xHeightLetters))
            xTops.push_back(box.top());
        else if (oneOf(c, capitalHeights))
            capitalTops.push_back(box.top());
        else if (oneOf(c, ascenderLetters))
            ascenderTops.push_back(box.top());
        if (oneOf(c, evenDigits))
            digitWidths.push_back(box.width());
        else if (oneOf(c, roundLetters))
            letterWidths.push_back(box.width());
        if (oneOf(c, sitting))
            baselines.push_back(box.bottom());
    }
    const std::optional<int> xTop = median(xTops);
    const std::optional<int> capitalTop = median(capitalTops);
    const std::optional<int> ascenderTop = median(ascenderTops);
    const std::optional<int> digitWidth = median(digitWidths.empty() ? letterWidths : digitWidths);
    const std::optional<int> baseline = median(baselines);

    // Every piece of ink is a character's: a dot no character bears belongs to one left out ("fle" for "file"), and a
    // character drawn in pieces stands on as many ("?" is no "7").
    for (qsizetype g = 0; g < glyphs.size(); ++g) {
        int pieces = 0;
        for (qsizetype i : borne[size_t(g)])
            pieces += mostPiecesOf(word.text.at(i));
        const bool alone = borne[size_t(g)].size() == 1;
        // Touching characters overlap a little, never by a third of their width.
        double width = 0;
        for (qsizetype i : borne[size_t(g)])
            width += inkWidth(word.text.at(i)) * scale;
        if (!alone && glyphs.at(g).box.width() < squeezed * width)
            return QStringLiteral("the glyph at %1 is too narrow for %2 characters")
                .arg(glyphs.at(g).box.left())
                .arg(borne[size_t(g)].size());
        const qsizetype drawn = glyphs.at(g).pieces.size();
        if (drawn > pieces || (alone && drawn < fewestPiecesOf(word.text.at(borne[size_t(g)].front()))))
            return QStringLiteral("the ink at %1 is in %2 pieces for %3")
                .arg(glyphs.at(g).box.left())
                .arg(drawn)
                .arg(pieces);
        // A small piece above the small letters is an i's or a j's dot.
        if (xTop) {
            const qsizetype dots =
                std::count_if(glyphs.at(g).pieces.begin(), glyphs.at(g).pieces.end(), [&](const QRect& piece) {
                    return piece.bottom() < *xTop && piece.height() <= std::max(2, glyphs.at(g).box.height() / 4);
                });
            const qsizetype dotted = std::count_if(borne[size_t(g)].begin(), borne[size_t(g)].end(),
                                                   [&](qsizetype i) { return oneOf(word.text.at(i), "ij"); });
            if (dots > dotted)
                return QStringLiteral("a dot at %1 is no character's").arg(glyphs.at(g).box.left());
        }
    }

    for (qsizetype i = 0; i < count; ++i) {
        const QChar c = word.text.at(i);
        const Glyph& glyph = glyphs.at(standsOn[size_t(i)]);
        const bool alone = borne[size_t(standsOn[size_t(i)])].size() == 1;
        const auto [left, right] = columns[size_t(i)];
        const QString at = QStringLiteral("\"%1\" at %2").arg(c).arg(i);
        if (oneOf(c, dotted) && !map.partsDown(left, right, glyph.box.top(), glyph.box.bottom()))
            return at + QStringLiteral(" has no dot");
        if (oneOf(c, strokes) && map.partsDown(left, right, glyph.box.top(), glyph.box.bottom()))
            return at + QStringLiteral(" has a dot");
        if (oneOf(c, strokes) || oneOf(c, "0O")) {
            // A "1" has a flag and a foot: wider than a third of a digit (at a small size its foot is much narrower
            // than the other digits), never wider than one. A stroke is one stem, half a digit at most. A "0" is as
            // wide as a digit; an "O" is wider.
            if (!alone || !digitWidth)
                return at + QStringLiteral(" is not measured");
            const int width = glyph.box.width();
            const bool asDigit = c == QLatin1Char('1') ? 3 * width > *digitWidth && width <= *digitWidth + 1
                                                       : std::abs(width - *digitWidth) <= 1;
            if ((c == QLatin1Char('1') || c == QLatin1Char('0')) != asDigit)
                return at + QStringLiteral(" is %1 wide").arg(width);
            if (c == QLatin1Char('O') && width < *digitWidth + 2)
                return at + QStringLiteral(" is %1 wide").arg(width);
            if (oneOf(c, "lI|") && 2 * width > *digitWidth)
                return at + QStringLiteral(" is %1 wide").arg(width);
        }
        // A letter or digit that is no stroke is wider than one: a "t" read off an "l" is a single stem.
        if (alone && c.isLetterOrNumber() && !oneOf(c, "ijlI1") && digitWidth && 3 * glyph.box.width() <= *digitWidth)
            return at + QStringLiteral(" is a stroke");
        // Letters and digits sit on the line, but for those that hang below it; a "|" hangs below it too.
        if (alone && (oneOf(c, hanging) || oneOf(c, sitting))) {
            if (!baseline)
                return at + QStringLiteral(" is not measured");
            if ((glyph.box.bottom() > *baseline + 1) != oneOf(c, hanging))
                return at + QStringLiteral(" %1 the line").arg(oneOf(c, hanging) ? "sits on" : "hangs below");
        }
        // A slash leans; a stroke stands upright.
        if (alone && (c == QLatin1Char('/') || oneOf(c, "lI|"))) {
            const int lean = leanOf(map, glyph.box);
            if ((c == QLatin1Char('/')) != (lean >= std::max(2, glyph.box.height() / 4)))
                return at + QStringLiteral(" leans %1").arg(lean);
        }
        const std::optional<int> top = topOf(i);
        // Any other small letter of that height stands as low: an "a" as high as the capitals is an "&".
        if (alone && oneOf(c, xHeightLetters) && capitalTop && xTop && top && *capitalTop < *xTop &&
            *top - *capitalTop <= *xTop - *top)
            return at + QStringLiteral(" stands high");
        if (oneOf(c, smallTwins) && !capitalTop && xTop && ascenderTop && top && *ascenderTop < *xTop) {
            // Without capitals to measure by, a small letter stands nearer the small letters' height than the tall
            // ones', which stand higher than any capital.
            if (*top - *ascenderTop <= *xTop - *top)
                return at + QStringLiteral(" stands high");
        } else if (oneOf(c, smallTwins) || oneOf(c, capitalTwins) || oneOf(c, "0")) {
            // A small letter stands at least two pixels below the capitals, nearer the small letters' height.
            if (!capitalTop || !top || (xTop && *capitalTop >= *xTop))
                return at + QStringLiteral(" is not measured");
            const bool small = xTop ? *top - *capitalTop > *xTop - *top : *top - *capitalTop >= 2;
            if (small != oneOf(c, smallTwins))
                return at + QStringLiteral(" stands %1").arg(small ? "low" : "high");
        }
        // A line without a capital or a digit (most addresses off the test desktop) has no measure of the capitals:
        // an "l" there stands as high as its tall small letters, and it could be an "I" only were that the
        // address's one capital.
        if (c == QLatin1Char('l') && !capitalTop && ascenderTop && top) {
            if (*top > *ascenderTop)
                return at + QStringLiteral(" stands low");
            continue;
        }
        if (c == QLatin1Char('I') || c == QLatin1Char('l')) {
            if (!capitalTop || !ascenderTop || *ascenderTop >= *capitalTop || !top)
                return at + QStringLiteral(" is not measured");
            const bool capital = *top - *ascenderTop > *capitalTop - *top;
            if (capital != (c == QLatin1Char('I')))
                return at + QStringLiteral(" stands %1").arg(capital ? "low" : "high");
        }
    }
    // An "rn" drawn as one glyph reads as an "m": its stems stand further apart than an m's of the same line.
    std::vector<double> spans;
    for (qsizetype g = 0; g < glyphs.size(); ++g) {
        if (borne[size_t(g)].size() != 1 || word.text.at(borne[size_t(g)].front()) != QLatin1Char('m'))
            continue;
        const std::vector<double> stems = stemsOf(map, glyphs.at(g).box);
        if (stems.size() != 3)
            return QStringLiteral("an \"m\" at %1 has %2 stems").arg(glyphs.at(g).box.left()).arg(stems.size());
        spans.push_back(stems[2] - stems[0]);
    }
    if (!spans.empty() &&
        *std::max_element(spans.begin(), spans.end()) - *std::min_element(spans.begin(), spans.end()) > unevenSpans)
        return QStringLiteral("the stems of its \"m\"s stand apart unevenly");
    return {};
}

} // namespace tavrine::capture

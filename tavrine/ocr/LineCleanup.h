#pragma once

#include <QImage>
#include <QList>
#include <QRect>

namespace tavrine {

// What is done to a page's line boxes between the layout analysis and the recognizer: the boxes of a table's row
// are joined across the grid lines between its cells, and each line's crop loses the straight rules through it
// (grid lines, borders, a cell cursor's frame) and the widest blanks between its pieces. All of it works on
// prepared pages (8-bit grey, dark text on a light ground) and depends on the pixels it is given alone, so equal
// pixels give equal boxes and crops.

// A vertical rule also crosses this many rows above and below a line box: a letter's stem ends inside it.
inline constexpr int ruleReach = 2;

// The rows around `box` that tell its rules from its letters: the box and ruleReach rows above and below it,
// within `page`.
QRect lineReach(const QRect& box, const QRect& page);

// The crop of `box` as the recognizer should read it: the straight rules through it blanked to the line's
// background, and each run of blank columns wider than the line is high cut down to that width. Reads the rows
// of lineReach(box) only.
QImage cleanLineCrop(const QImage& page, const QRect& box);

// Joins the line boxes of a table's row into one. Between grid lines the layout takes each column of cells for a
// block of its own, and its lines, read one cell at a time and sorted by their tops, lose the row. Boxes join
// when they stand side by side on one row (each one's middle within the other's rows) with a grid line between
// them; text columns without a rule between them stay apart. Looks at rows [top, end) of the page only.
QList<QRect> joinedAcrossGridLines(const QImage& page, int top, int end, QList<QRect> boxes);

} // namespace tavrine

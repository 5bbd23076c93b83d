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

// The pieces of a cleaned line crop between runs of at least `gap` blank columns (a blank that wide parts two
// cells or columns; cleanLineCrop leaves a wider one `gap` wide), left to right; the crop alone when it has none.
QList<QImage> piecesOfCrop(const QImage& line, int gap);

// Rows [top, end) of a prepared page as an image of their own with the frames of cell cursors (long thin edges of
// dark ink and the sides that meet them) blanked to the ground, for the layout analysis: it takes a cursor's cell
// and the rows around it for one tall block and loses the rows' cells. Null when there is none. Depends on those
// rows alone.
QImage withoutCursorFrames(const QImage& page, int top, int end);

// The text a layout analysis of rows [top, end) of a prepared page left unread beside the lines it found (`boxes`,
// line boxes of the page), as line boxes of the page: beside each line found, its pieces of ink of a letter's size
// that stand apart from it on its rows, grouped as a line's words are (apart by blanks narrower than the line is
// high), with the long straight rules through the rows (grid lines, dividers, the edges of a cell cursor) left out.
// The layout drops whole columns of a table, such as the numbers of a right-aligned column beside its grid lines;
// ink on no line's rows is no cell of one. None when too little of a letter's size is left. Depends on those rows
// alone.
QList<QRect> leftoverLines(const QImage& page, int top, int end, const QList<QRect>& boxes);

// Joins the line boxes of a table's row into one. Between grid lines the layout takes each column of cells for a
// block of its own, and its lines, read one cell at a time and sorted by their tops, lose the row. Boxes join
// when they stand side by side on one row (each one's middle within the other's rows) with a grid line between
// them; text columns without a rule between them stay apart. Looks at rows [top, end) of the page only.
QList<QRect> joinedAcrossGridLines(const QImage& page, int top, int end, QList<QRect> boxes);

} // namespace tavrine

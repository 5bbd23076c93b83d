#pragma once

#include <QImage>
#include <QList>
#include <QRect>

#include <utility>
#include <vector>

namespace tavrine {

// What the reader learns of a page's layout from its pixels, around the layout analysis: the page prepared as 8-bit
// grey, its stretches of rows between blank ones, a stretch that holds one line found as that line's box, the panes
// of a stretch whose line ran across a pane's edge, the cell cursor's frame taken out of a sheet's rows before the
// analysis, and a table's rows made whole after it. All of it but the preparation works on prepared pages (dark text
// on a light ground) and depends on the pixels it is given alone, so equal pixels give equal boxes.

// The image as the recognizer sees it: 8-bit grey (red, green and blue weighed 11:16:5), composited onto white, and
// inverted when most of it is dark (the layout analysis looks for dark text on a light ground).
QImage preparedPage(const QImage& image);

// The stretches of a prepared page, top to bottom, as [top, end) rows: the rows between blank rows (rows of one
// colour across the page), gaps inside a line (under an "i"'s dot or an accent) left in, with a few blank rows
// around each. Stretches too low to hold text are left out. Each depends on the rows around it only, so a stretch
// that scrolled or stayed while others changed is found again with the same pixels.
std::vector<std::pair<int, int>> stretchesOf(const QImage& page);

// The box of the one line that rows [top, end) of a prepared page hold, with a few blank columns beside it; null
// when they hold more than one line, or one in several pieces (a title beside window buttons), or when the page's
// edge cuts them.
QRect oneLineBox(const QImage& page, int top, int end);

// `rows` of a prepared page parted into panes, as rectangles of the page that are not blank, when a line box the
// layout found there (`boxes`) runs across a pane's edge; none when no box does. The edges are long and straight:
// two columns beside each other, each of one grey down a long run of rows and apart from the other's, such as a
// side pane's edge or a view's frame, with a pane on either side; the panes are the sides of each edge and what
// lies above and below it. Analysed as one, the layout runs a side pane's labels into the lines beside them. A
// table's grid lines are no edges: its rows' lines cross them.
QList<QRect> panesCrossed(const QImage& page, const QRect& rows, const QList<QRect>& boxes);

// Rows [top, end) of a prepared page as an image of their own with frames blanked to the ground, for the layout
// analysis: the frames of cell cursors (long thin edges of dark ink and the sides that meet them), and the light
// frames round one item a line or two high (the current item of a file manager's view, a field, a button). The
// layout takes a cursor's cell and the rows around it for one tall block and loses the rows' cells; and where it
// sets the grey that parts ink from ground above a light frame's (as it does for a view analysed apart from its
// side pane), it takes the frame and the name in it for a picture and leaves the name out of its line. Null when
// there is none. Depends on those rows alone.
QImage withoutFrames(const QImage& page, int top, int end);

// The line boxes the layout analysis found in `area` of a prepared page (`boxes`) with each name on a highlight made
// a line of its own, or part of the line beside it. A highlight (a selected item's) is a dark block a line or two
// high, its sides dark from its top row to its bottom one, whose commonest grey lies blockStep or more below the
// area's ground, with light writing on it. The layout takes such a block for a picture: it leaves the name out, or
// ends a line box inside it. The boxes that reach into a highlight on its writing's rows are joined to that writing
// in one box; a highlight no box reaches into gives a box of its writing. Depends on `area` alone.
QList<QRect> withHighlightedNames(const QImage& page, const QRect& area, QList<QRect> boxes);

// The text a layout analysis of `area` of a prepared page left unread beside the lines it found (`boxes`, line
// boxes of the page), as line boxes of the page: beside each line found, its pieces of ink of a letter's size that
// stand apart from it on its rows, grouped as a line's words are (apart by blanks narrower than the line is high),
// with the long straight rules through the rows (grid lines, dividers, the edges of a cell cursor) left out. The
// layout drops whole columns of a table, such as the numbers of a right-aligned column beside its grid lines; ink
// on no line's rows is no cell of one. None when too little of a letter's size is left. Depends on `area` alone.
QList<QRect> leftoverLines(const QImage& page, const QRect& area, const QList<QRect>& boxes);

// Joins the line boxes of a table's row into one. Between grid lines the layout takes each column of cells for a
// block of its own, and its lines, read one cell at a time and sorted by their tops, lose the row. Boxes join
// when they stand side by side on one row (each one's middle within the other's rows) with a grid line between
// them; text columns without a rule between them stay apart. Looks at the rows of `area` only.
QList<QRect> joinedAcrossGridLines(const QImage& page, const QRect& area, QList<QRect> boxes);

// The line boxes the layout analysis found in `area` of a prepared page (a stretch of rows, or a pane of one) with
// a table's rows made whole: the boxes of each row joined across its grid lines, and the cells the layout left out
// beside them (leftoverLines) added to their rows. Text the layout left out counts only as cells of a table: on
// the rows of a line found, no taller than it, apart from every line found, and joined to a line found across a
// grid line; what else is left is pictures, icons and the edges of controls. Grouping the pieces so finds the cells
// that a second layout analysis of what was left (as sparse text) found, without that analysis: up to a sixth of a
// spreadsheet window's reading time. (Reading each piece first to drop the unsure ones cost a third more on a sheet
// and dropped no more noise on the example windows and the real sheets.)
QList<QRect> withTableRows(const QImage& page, const QRect& area, QList<QRect> boxes);

} // namespace tavrine

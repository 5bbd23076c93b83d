#pragma once

#include <QImage>
#include <QList>
#include <QRect>

#include <utility>
#include <vector>

namespace tavrine {

// What is done to a line's pixels before the recognizer reads it: the crop of a line box loses the straight rules
// through it (grid lines, borders, a cell cursor's frame) and its widest blanks, a line is parted into its pieces
// at wide blanks, and a line read on its own (an address bar) is taken with the page beside it. All of it works on
// prepared pages (8-bit grey, dark text on a light ground, PageLayout.h) and depends on the pixels it is given
// alone, so equal pixels give equal crops.

// The commonest grey of an 8-bit grey image (of `area` of it, when given), and the share of its pixels that have
// it.
std::pair<uchar, double> backgroundOf(const QImage& grey, QRect area = {});

// Whether most of `rect` of an 8-bit grey image is dark (under mid-grey).
bool isMostlyDark(const QImage& grey, const QRect& rect);

// A grey at least this far from the ground is ink for the rules and the blanks of a line: grid lines are drawn
// lighter than text, down to about 30 steps from white.
inline constexpr int ruleInkStep = 24;

// The pieces of ink of `area` of an 8-bit grey image, left to right, as [left, right) columns of the image: the
// runs of columns holding ink (a grey `inkStep` or more from the area's commonest one) apart by at least `gap`
// blank columns. A blank that wide parts two cells, columns or controls.
std::vector<std::pair<int, int>> piecesOf(const QImage& grey, const QRect& area, int gap, int inkStep = ruleInkStep);

// A piece of a line's crop (8-bit grey) cut to its writing: without its straight rules (found by its own ground),
// without a thin bar down either end that stands apart
// from the rest and reaches higher or lower than all of it (the edge of the field the writing stands in), and
// without the rows above and below the ink that is left. Ink is a grey ruleInkStep or more from the piece's
// commonest one. A field's frame, once its rules are gone, leaves its side and its padding around the writing: the
// recognizer reads the side as a bracket run into the writing ("[Itemp" for "/tmp"), and, as it scales every line
// to one height, small writing in a tall crop as smaller still. The whole piece when it holds no ink.
QImage writingOf(const QImage& piece);

// A cleaned line crop as the recognizer reads it: dark on light (inverted when most of it is dark), with `padding`
// white pixels around it.
QImage paddedLine(const QImage& line, int padding);

// A dark block holding light writing, such as a selected item's highlight, lies at least this far in grey below
// the ground around it.
inline constexpr int blockStep = 64;

// Turns pixels [left, right] of row `y` of an 8-bit grey image over about a dark block's ground `blockGround`:
// that ground takes the grey `ground`, and the lightest writing on it turns black. Read as it shows, light writing
// on a dark block is taken for holes in one dark blot.
void turnOver(QImage& grey, int y, int left, int right, int ground, int blockGround);

// A vertical rule also crosses this many rows above and below a line box: a letter's stem ends inside it.
inline constexpr int ruleReach = 2;

// The rows around `box` that tell its rules from its letters: the box and ruleReach rows above and below it,
// within `page`.
QRect lineReach(const QRect& box, const QRect& page);

// The crop of `box` as the recognizer should read it: a dark block in it holding light writing (a selected item's
// highlight) turned to dark writing on the line's ground, the straight rules through it blanked to the line's
// background, and each run of blank columns wider than the line is high cut down to that width. Reads the rows of
// lineReach(box) only.
QImage cleanLineCrop(const QImage& page, const QRect& box);

// The line in `box` of a prepared page as a line of one kind of text (a browser's address bar) is read on its own:
// its rows widened by the page's own pixels, two of the line's heights on either side (cut off at the line's end, a
// field's padding that is not the line's ground reads as a stroke, and a last "l" as "!"), with blank rows of the
// line's ground above and below (the rows of the page there may hold a field's edges), and its ink `inkGain` times
// as far from the ground as it shows: faint grey writing reads better so, dark writing worse (its edges thicken).
// Runs of ink along a row six of the line's heights long are blanked: a field's edges and the grey block of the
// buttons beside it. Thin rules alone are not enough here: kept, that block and the field's side join the address
// ("Csihttp://…") or add a stroke after it. `origin` is where the image's top left lies on the page. Null when the
// box lies off the page. Reads the rows of the box only.
QImage lineInContext(const QImage& page, const QRect& box, double inkGain, QPoint& origin);

} // namespace tavrine

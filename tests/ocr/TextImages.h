#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

// Images with known text, drawn with QPainter (needs a QGuiApplication for the fonts).
namespace tavrine::test {

struct TextStyle {
    QString family = QStringLiteral("DejaVu Sans");
    int pixelSize = 28;
    QColor ink = Qt::black;
    QColor paper = Qt::white;
};

// One line of text per entry, each `lineHeight` pixels below the last (the first baseline at `top` plus the
// font's ascent), starting 40 pixels from the left edge.
QImage renderLines(const QSize& size, const QStringList& lines, const TextStyle& style, int top, int lineHeight);

// One text drawn onto `image` in the style's font and ink, its baseline starting at `origin`; the paper is not
// used.
void drawText(QImage& image, QPoint origin, const QString& text, const TextStyle& style);

// A page of an editor or a document: numbered lines of plain words in sizes of 15 to 26 pixels, with headings,
// the whole `size` filled. `firstLine` is the number of the line at the top (scrolling by three lines is
// firstLine + 3); `editedLine` (when not negative) reads differently from the usual text, in a wording that
// depends on `revision`.
QImage renderDocument(const QSize& size, int firstLine, int editedLine = -1, bool dark = false, int revision = 0);
// The words of line `number` of that document (what the line says, without its number).
QString documentLine(int number, int editedLine = -1, int revision = 0);

// How a spreadsheet is drawn: the default is a roomy sheet of words.
struct SheetLook {
    int rowHeight = 18;
    // The words' top below the grid line over them: set low, descenders reach the grid line under the row.
    int textTop = 3;
    // A fifth column of numbers, set right against the grid line on their right as spreadsheets set numbers.
    bool numbers = false;
    // The edge of a printed page drawn down the grid line after the seventh column, dashed, as office programs
    // mark it.
    bool pageBreak = false;
};

// A spreadsheet: a band of column letters, a column of row numbers, cells of one word each between light grid
// lines, and the thick frame of the cell cursor around the first cell of row `cursorRow` (counted from 0). Row 0
// is a title that runs on across the cells beside it; rows start at `firstRow` (scrolling), and the sheet fills
// `size`.
QImage renderSheet(const QSize& size, int firstRow = 0, int cursorRow = 0, const SheetLook& look = {});
// The words of row `row` of that sheet, joined by blanks, as one line.
QString sheetRow(int row, const SheetLook& look = {});

// A file manager: a side pane of places (a heading, then an icon and a label each) beside a grid of file icons with
// their names under them, some wrapped onto a second line; a warning bar across the top. The side pane's labels
// and the file names stand on rows a few pixels apart.
QImage renderFileManager(const QSize& size);

// Pictures without text: icons, shapes, rules and a noisy photograph-like area.
QImage renderIcons(const QSize& size, bool dark = false, int seed = 1);

} // namespace tavrine::test

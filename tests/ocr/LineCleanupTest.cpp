#include "tavrine/ocr/LineCleanup.h"
#include "TextImages.h"
#include "tavrine/ocr/PageLayout.h"

#include "Printing.h"
#include <QPainter>

#include <gtest/gtest.h>

using namespace tavrine;

namespace {

// A row of a table as a spreadsheet or a file list draws it: words at the given columns on a white ground, 13
// pixels high, in a row 20 pixels high from y = 20.
constexpr int rowTop = 20;
constexpr int rowHeight = 20;

struct Row {
    QStringList words;
    QList<int> columns; // the left edge of each cell
};

// `baseline` is the words' baseline below the row's top: at 17 their descenders reach the grid line under it.
QImage drawRow(const Row& row, int width = 600, int baseline = 15) {
    QImage image(width, rowTop + 2 * rowHeight, QImage::Format_Grayscale8);
    image.fill(255);
    test::TextStyle style;
    style.pixelSize = 13;
    for (qsizetype i = 0; i < row.words.size(); ++i)
        test::drawText(image, QPoint(row.columns.at(i) + 3, rowTop + baseline), row.words.at(i), style);
    return image;
}

// How many pixels of `image` are ink (greys under 160).
int inkPixels(const QImage& image) {
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ink += image.constScanLine(y)[x] < 160;
    }
    return ink;
}

// The rows and columns of the ink of `image` (greys under 160), as the layout would box them.
QRect inkBox(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.constScanLine(y)[x] < 160)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// Grid lines as a spreadsheet draws them: light grey, along the row's edges and down every cell's edges.
void drawGrid(QImage& image, const Row& row, QColor colour = QColor(200, 200, 200)) {
    QPainter painter(&image);
    painter.setPen(colour);
    painter.drawLine(0, rowTop, image.width(), rowTop);
    painter.drawLine(0, rowTop + rowHeight, image.width(), rowTop + rowHeight);
    for (const int x : row.columns)
        painter.drawLine(x, 0, x, image.height());
}

// Lines along the row's edges only, as a bar's edges or a toolbar's are drawn.
void drawEdges(QImage& image) {
    QPainter painter(&image);
    painter.setPen(QColor(200, 200, 200));
    painter.drawLine(0, rowTop, image.width(), rowTop);
    painter.drawLine(0, rowTop + rowHeight, image.width(), rowTop + rowHeight);
}

// The boxes the layout finds in a row: one per cell.
QList<QRect> cellBoxes(const QImage& letters, const Row& row) {
    QList<QRect> boxes;
    for (qsizetype i = 0; i < row.columns.size(); ++i) {
        const int right = i + 1 < row.columns.size() ? row.columns.at(i + 1) : letters.width();
        boxes.append(inkBox(letters.copy(row.columns.at(i), 0, right - row.columns.at(i), letters.height()))
                         .translated(row.columns.at(i), 0));
    }
    return boxes;
}

QRect unitedBoxes(const QList<QRect>& boxes) {
    QRect whole;
    for (const QRect& box : boxes)
        whole |= box;
    return whole;
}

// The cell cursor: a frame two pixels thick around the cell at `column`, 80 pixels wide.
void drawCursor(QImage& image, int column) {
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawRect(QRect(column + 1, rowTop + 1, 78, rowHeight - 2));
}

const Row cells{
    {QStringLiteral("crane"), QStringLiteral("inspection"), QStringLiteral("Thursday"), QStringLiteral("harbour")},
    {40, 120, 200, 280}};

} // namespace

TEST(LineCleanup, BlanksTheRulesThroughALineAndKeepsItsLetters) {
    struct Case {
        const char* name;
        QImage page;    // the line as the window shows it
        QImage letters; // the same line with its letters only
    };
    const QImage plain = drawRow(cells);
    QImage grid = plain;
    drawGrid(grid, cells);
    QImage cursor = grid;
    drawCursor(cursor, 40);
    QImage darkGrid = plain;
    drawGrid(darkGrid, cells, QColor(120, 120, 120));
    // Stems and bars that are letters, or thicker than a rule, however tall.
    const Row stems{{QStringLiteral("Ill|1H"), QStringLiteral("fill"), QStringLiteral("|||")}, {40, 160, 280}};
    QImage bar = drawRow(stems);
    QPainter(&bar).fillRect(QRect(250, rowTop + 2, 8, 16), Qt::black);
    const std::vector<Case> cases = {
        {"grid lines between cells", grid, plain},
        {"dark grid lines", darkGrid, plain},
        {"the cell cursor's frame over the grid", cursor, plain},
        {"letters' stems", drawRow(stems), drawRow(stems)},
        {"a filled bar beside letters", bar, bar},
    };
    for (const Case& c : cases) {
        const QRect box = inkBox(c.letters).adjusted(-2, 0, 2, 0);
        const QImage cleaned = cleanLineCrop(c.page, box);
        EXPECT_EQ(cleaned, cleanLineCrop(c.letters, box)) << c.name;
        // Only blank columns may go: every letter's ink stays.
        EXPECT_EQ(inkPixels(cleaned), inkPixels(c.letters.copy(box))) << c.name;
    }
}

TEST(LineCleanup, JoinsTheCellsOfARowAcrossGridLinesOnly) {
    const QImage plain = drawRow(cells);
    const QList<QRect> boxes = cellBoxes(plain, cells);
    QImage grid = plain;
    drawGrid(grid, cells);
    QImage cursor = grid;
    drawCursor(cursor, 40);
    // A divider down the page beside a list, as a side pane's edge: no row crosses it.
    QImage divider = plain;
    for (const int x : {115, 195, 275}) {
        QPainter painter(&divider);
        painter.setPen(QColor(200, 200, 200));
        painter.drawLine(x, 0, x, divider.height());
    }
    // Lines along the row's edges and none between the cells: the ground between two words is no grid line.
    QImage edges = plain;
    drawEdges(edges);
    // Descenders that touch the grid line under the row take its row into their boxes.
    const Row low{{QStringLiteral("quay"), QStringLiteral("shipping"), QStringLiteral("jetty"), QStringLiteral("pump")},
                  {40, 120, 200, 280}};
    const QImage lowPlain = drawRow(low, 600, 17);
    QImage lowGrid = lowPlain;
    drawGrid(lowGrid, low);
    // The grid drawn at 1.28 times: each line two pixels wide in two greys, darker where two cross.
    const QImage scaledPlain = plain.scaled(plain.size() * 1.28, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage scaledGrid = grid.scaled(grid.size() * 1.28, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    Row scaledCells = cells;
    for (int& column : scaledCells.columns)
        column = int(column * 1.28);
    const QList<QRect> scaledBoxes = cellBoxes(scaledPlain, scaledCells);
    struct Case {
        const char* name;
        QImage page;
        QList<QRect> boxes;
        QList<QRect> joined;
    };
    const std::vector<Case> cases = {
        {"cells between grid lines", grid, boxes, {unitedBoxes(boxes)}},
        {"cells with the cursor on the first", cursor, boxes, {unitedBoxes(boxes)}},
        {"columns of text without rules", plain, boxes, boxes},
        {"columns beside dividers no row crosses", divider, boxes, boxes},
        {"columns between lines along the row only", edges, boxes, boxes},
        {"descenders on the grid line under the row",
         lowGrid,
         cellBoxes(lowPlain, low),
         {unitedBoxes(cellBoxes(lowPlain, low))}},
        {"a grid drawn at another scale", scaledGrid, scaledBoxes, {unitedBoxes(scaledBoxes)}},
    };
    for (const Case& c : cases) {
        QList<QRect> joined = joinedAcrossGridLines(c.page, c.page.rect(), c.boxes);
        std::sort(joined.begin(), joined.end(), [](const QRect& a, const QRect& b) { return a.left() < b.left(); });
        EXPECT_EQ(joined, c.joined) << c.name;
    }
}

TEST(LineCleanup, FindsTheTextTheLayoutLeftAndThePiecesOfALine) {
    // A column of numbers beside the words, whose boxes the layout left out.
    const Row withNumbers{{QStringLiteral("crane"), QStringLiteral("inspection"), QStringLiteral("1250")},
                          {40, 120, 200}};
    const Row withSigns{{QStringLiteral("crane"), QStringLiteral("inspection"), QStringLiteral("-12.50")},
                        {40, 120, 200}};
    const auto griddedRow = [](const Row& row) {
        QImage page = drawRow(row);
        drawGrid(page, row);
        return page;
    };
    const QImage page = griddedRow(withNumbers);
    const QList<QRect> words = cellBoxes(drawRow(withNumbers), withNumbers).mid(0, 2);
    QImage dots = page;
    for (int x = 300; x < 500; x += 9)
        dots.setPixel(x, 30, 0);
    // A page break drawn as a dashed line down the sheet beside the numbers: dashes as thin as a rule, shorter
    // than a digit.
    QImage pageBreak = page;
    for (int y = 0; y < pageBreak.height(); y += 9)
        QPainter(&pageBreak).fillRect(QRect(300, y, 2, 6), Qt::black);
    struct Case {
        const char* name;
        QImage page;
        QList<QRect> boxes;
        QRect left; // the ink left (null: nothing)
    };
    const std::vector<Case> cases = {
        {"numbers beside the words", page, words, cellBoxes(drawRow(withNumbers), withNumbers).at(2)},
        {"signs and points with the digits", griddedRow(withSigns), words,
         cellBoxes(drawRow(withSigns), withSigns).at(2)},
        {"every word boxed", page, cellBoxes(drawRow(withNumbers), withNumbers), {}},
        {"dots", dots, cellBoxes(drawRow(withNumbers), withNumbers), {}},
        {"a dashed page break beside the numbers", pageBreak, words,
         cellBoxes(drawRow(withNumbers), withNumbers).at(2)},
        {"numbers on no line's rows", page, {words.at(0).translated(0, 2 * rowHeight)}, {}},
    };
    for (const Case& c : cases) {
        const QList<QRect> left = leftoverLines(c.page, c.page.rect(), c.boxes);
        if (c.left.isNull()) {
            EXPECT_TRUE(left.isEmpty()) << c.name;
            continue;
        }
        // Faint edges of the letters may widen the box by a pixel; the cell's grid lines never.
        ASSERT_EQ(left.size(), 1) << c.name;
        EXPECT_TRUE(left.front().contains(c.left)) << c.name;
        EXPECT_TRUE(c.left.adjusted(-2, -2, 2, 2).contains(left.front())) << c.name;
    }

    // A blank at least as wide as the line is high parts two pieces; a word space does not.
    const QImage line = drawRow(cells).copy(inkBox(drawRow(cells)));
    EXPECT_EQ(piecesOf(line, line.rect(), line.height()).size(), 4);
    EXPECT_EQ(piecesOf(line, line.rect(), 80), (std::vector<std::pair<int, int>>{{0, line.width()}}));
}

TEST(LineCleanup, TakesAnAddressLineWithThePageBesideItAndWithoutTheButtonsBlock) {
    // An address bar's line: the address at x = 160, the grey block of the navigation buttons left of it, which
    // the layout takes into the line's box.
    const auto bar = [](QColor ink, bool buttons) {
        QImage image(600, 60, QImage::Format_Grayscale8);
        image.fill(255);
        QPainter painter(&image);
        if (buttons) {
            painter.fillRect(QRect(20, 20, 130, 20), QColor(210, 210, 210));
            painter.setPen(Qt::black);
            painter.drawText(QRect(40, 20, 30, 20), Qt::AlignCenter, QStringLiteral("<"));
        }
        painter.end();
        test::TextStyle style;
        style.pixelSize = 13;
        style.ink = ink;
        test::drawText(image, QPoint(160, 35), QStringLiteral("127.0.0.1:18765/notes.html"), style);
        return image;
    };
    struct Case {
        const char* name;
        QColor ink;
        double inkGain;
        int darkest; // the darkest grey of the line as read, within a few steps
    };
    const std::vector<Case> cases = {
        {"dark writing", Qt::black, 1.0, 0},
        {"faint writing, darkened", QColor(180, 180, 180), 4.0, 0},
        {"faint writing as it shows", QColor(180, 180, 180), 1.0, 180},
    };
    const QRect box = inkBox(bar(Qt::black, true));
    for (const Case& c : cases) {
        QPoint origin;
        const QImage line = lineInContext(bar(c.ink, true), box, c.inkGain, origin);
        ASSERT_FALSE(line.isNull()) << c.name;
        // Two of the line's heights of the page on either side, blank rows of its ground above and below.
        const int padding = std::max(2, box.height() / 4);
        EXPECT_EQ(origin, QPoint(box.left() - 2 * box.height(), box.top() - padding)) << c.name;
        EXPECT_EQ(line.size(), QSize(box.width() + 4 * box.height(), box.height() + 2 * padding)) << c.name;
        QPoint withoutOrigin;
        EXPECT_EQ(line, lineInContext(bar(c.ink, false), box, c.inkGain, withoutOrigin)) << c.name;
        int darkest = 255;
        for (int y = 0; y < line.height(); ++y) {
            for (int x = 0; x < line.width(); ++x)
                darkest = std::min<int>(darkest, line.constScanLine(y)[x]);
        }
        EXPECT_GE(darkest, c.darkest) << c.name;
        EXPECT_LE(darkest, c.darkest + 8) << c.name;
    }
    QPoint origin;
    EXPECT_TRUE(lineInContext(bar(Qt::black, false), box.translated(0, 200), 1.0, origin).isNull());
}

TEST(PageLayout, PartsPanesWhereALineRunsAcrossAPanesEdgeOnly) {
    // A side pane of light grey with its edge drawn down the page beside a white view, each 200 pixels or more
    // wide; and a sheet's grid, whose vertical lines the rows' lines cross every 20 pixels.
    const auto page = [](bool pane, bool grid, int scrollBar) {
        QImage image(600, 300, QImage::Format_Grayscale8);
        image.fill(255);
        QPainter painter(&image);
        if (pane) {
            painter.fillRect(QRect(0, 0, 200, 300), QColor(239, 239, 239));
            painter.fillRect(QRect(200, 0, 1, 300), QColor(184, 184, 184));
        }
        if (grid) {
            painter.setPen(QColor(200, 200, 200));
            for (int y = 0; y < 300; y += 20)
                painter.drawLine(0, y, 600, y);
            for (int x = 100; x < 600; x += 100)
                painter.drawLine(x, 0, x, 300);
        }
        if (scrollBar > 0)
            painter.fillRect(QRect(600 - scrollBar, 0, scrollBar, 300), QColor(220, 220, 220));
        painter.end();
        test::TextStyle style;
        style.pixelSize = 13;
        test::drawText(image, QPoint(24, 152), QStringLiteral("Recent"), style);
        test::drawText(image, QPoint(224, 152), QStringLiteral("crane-inspection.odt"), style);
        return image;
    };
    const QRect across(20, 140, 400, 14); // a label in the pane run into a line of the view
    const QRect inView(220, 140, 300, 14);
    struct Case {
        const char* name;
        QImage page;
        QRect box;
        QList<QRect> panes;
    };
    const std::vector<Case> cases = {
        {"a line across the side pane's edge",
         page(true, false, 0),
         across,
         {QRect(0, 0, 200, 300), QRect(200, 0, 400, 300)}},
        {"a line within the view", page(true, false, 0), inView, {}},
        {"a line across a sheet's grid lines", page(false, true, 0), across, {}},
        {"a line beside a scroll bar", page(false, false, 16), QRect(20, 140, 570, 14), {}},
    };
    for (const Case& c : cases) {
        QList<QRect> panes = panesCrossed(c.page, c.page.rect(), {c.box, QRect(20, 20, 100, 14)});
        std::sort(panes.begin(), panes.end(), [](const QRect& a, const QRect& b) { return a.left() < b.left(); });
        EXPECT_EQ(panes, c.panes) << c.name;
    }
}

// A page that scrolled or was edited is read from the line boxes of the page before and an analysis of the bands
// that changed; its text must be what a whole-page read of it gives, line for line.
#include "ExampleWindows.h"
#include "TextImages.h"
#include "support/TestSupport.h"
#include "tavrine/ocr/OcrEngine.h"
#include "tavrine/ocr/PageReader.h"
#include "tavrine/ocr/TextRecognition.h"

#include "Printing.h"
#include <iostream>
#include <tuple>

#include <gtest/gtest.h>

using namespace tavrine;

namespace {

constexpr double patience = 600;

// A page read before, and the same window a capture later.
struct Change {
    QString name;
    QImage before;
    QImage after;
    bool small = false; // a few lines moved in or changed: the page is not analysed whole
};

// A real window's picture, taken on the X11 test desktop.
QImage realScreen(const char* file) {
    return QImage(QStringLiteral(TAVRINE_OCR_SCREENS "/") + QString::fromLatin1(file));
}

// The eight example windows and a long document, light and dark: each scrolled by 1, 3 and 20 lines and with
// one line rewritten; and spreadsheets.
std::vector<Change> corpus() {
    std::vector<Change> changes;
    for (const examples::Window& window : examples::windows()) {
        const QImage before = examples::draw(window);
        for (const int lines : {1, 3, 20})
            changes.push_back({QStringLiteral("%1 scrolled %2").arg(window.file).arg(lines), before,
                               examples::draw(window, lines), false});
        changes.push_back({window.file + QStringLiteral(" edited"), before, examples::draw(window, 0, true), false});
    }
    const QSize size(1800, 1100);
    for (const bool dark : {false, true}) {
        const QString name = dark ? QStringLiteral("dark document") : QStringLiteral("document");
        const QImage before = test::renderDocument(size, 30, -1, dark);
        for (const int lines : {1, 3, 20})
            changes.push_back({QStringLiteral("%1 scrolled %2").arg(name).arg(lines), before,
                               test::renderDocument(size, 30 + lines, -1, dark), lines < 20});
        changes.push_back({name + QStringLiteral(" edited"), before, test::renderDocument(size, 30, 41, dark), true});
    }
    // A spreadsheet, one stretch of rows from top to bottom: scrolled, and with the cell cursor moved down a row.
    const QSize sheetSize(1200, 750);
    const QImage sheet = test::renderSheet(sheetSize, 0, 2);
    for (const int rows : {1, 3, 20})
        changes.push_back({QStringLiteral("sheet scrolled %1").arg(rows), sheet,
                           test::renderSheet(sheetSize, rows, 2 + rows), false});
    changes.push_back({QStringLiteral("sheet cursor moved"), sheet, test::renderSheet(sheetSize, 0, 3), false});
    // Tight rows with a column of numbers the layout leaves out, found by a second look.
    const test::SheetLook tight{18, 4, true};
    const QImage numbers = test::renderSheet(sheetSize, 0, 2, tight);
    changes.push_back(
        {QStringLiteral("numbers sheet scrolled 3"), numbers, test::renderSheet(sheetSize, 3, 5, tight), false});
    changes.push_back(
        {QStringLiteral("numbers sheet cursor moved"), numbers, test::renderSheet(sheetSize, 0, 3, tight), false});
    // Real windows on the X11 test desktop, a capture apart: another file selected, a line typed, a sheet
    // scrolled.
    for (const auto& [name, before, after] :
         {std::tuple{"Dolphin, another file selected", "dolphin-noto.png", "dolphin-selected.png"},
          std::tuple{"Thunar, a file selected", "thunar-wide.png", "thunar-selected.png"},
          std::tuple{"Mousepad, a line typed", "mousepad.png", "mousepad-edited.png"},
          std::tuple{"Gnumeric, scrolled", "gnumeric.png", "gnumeric-scrolled.png"}})
        changes.push_back({QString::fromLatin1(name), realScreen(before), realScreen(after), false});
    return changes;
}

QStringList readLines(PageReader& reader, const QImage& image) {
    QStringList lines;
    const std::atomic<bool> never{false};
    const bool read = reader.read(image, 0, never, [&](const QString& line) {
        lines.append(line);
        return true;
    });
    EXPECT_TRUE(read);
    return lines;
}

PageReader::Counters since(const PageReader::Counters& before, const PageReader::Counters& after) {
    return {after.layouts - before.layouts, after.layoutsReused - before.layoutsReused,
            after.stretchesReused - before.stretchesReused, after.linesRead - before.linesRead,
            after.linesReused - before.linesReused};
}

} // namespace

// Readers beside the OCR thread's own recognizer start for a page of many unread lines, not for a few: a window
// of a few lines, or one whose lines were read before but for a few (scrolled, a line typed). Each row is read
// after the rows above it; a sheet scrolled is all new lines, since every row's number changed.
TEST(IncrementalRead, StartsLineReadersOnlyForPagesOfManyUnreadLines) {
    const QSize size(1800, 1100);
    const struct {
        const char* name;
        QImage page;
        int readers;
    } rows[] = {
        {"three lines", test::renderLines(QSize(900, 240), {"alpha notes", "beta lists", "gamma plans"}, {}, 20, 60),
         0},
        {"a document", test::renderDocument(size, 30), 3},
        {"the document scrolled by three lines", test::renderDocument(size, 33), 0},
        {"Thunar on three files", realScreen("thunar-names-640.png"), 2},
        {"Gnumeric", realScreen("gnumeric.png"), 3},
        {"Gnumeric scrolled", realScreen("gnumeric-scrolled.png"), 3},
        {"Mousepad", realScreen("mousepad.png"), 0},
        {"Mousepad, a line typed", realScreen("mousepad-edited.png"), 0},
    };
    PageReader reader(3, std::chrono::milliseconds(2000));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(readLines(reader, row.page).isEmpty());
        EXPECT_EQ(reader.lineReaders()->running(), row.readers);
        reader.lineReaders()->waitUntilEnded();
    }
}

TEST(IncrementalRead, GivesTheLinesOfAWholePageReadOnTheCorpus) {
    const std::vector<Change> changes = corpus();
    auto outcome = test::run(OcrEngine::perform([&](PageReader& reader) {
                                 reader.clearCaches();
                                 for (const Change& change : changes) {
                                     reader.forgetPages();
                                     const QStringList whole = readLines(reader, change.after);
                                     reader.forgetPages();
                                     readLines(reader, change.before);
                                     const PageReader::Counters start = reader.counters();
                                     const QStringList incremental = readLines(reader, change.after);
                                     const PageReader::Counters spent = since(start, reader.counters());
                                     EXPECT_EQ(incremental, whole) << qPrintable(change.name);
                                     EXPECT_FALSE(whole.isEmpty()) << qPrintable(change.name);
                                     // Most of the page is found again: only its new stretches are analysed.
                                     if (change.small) {
                                         EXPECT_GT(spent.stretchesReused, 3 * spent.layouts) << qPrintable(change.name);
                                     }
                                     std::cout << qPrintable(change.name) << ": layouts " << spent.layouts
                                               << ", stretches reused " << spent.stretchesReused << ", lines read "
                                               << spent.linesRead << ", reused " << spent.linesReused << "\n";
                                 }
                             }),
                             patience);
    EXPECT_TRUE(outcome.finished);
}

TEST(IncrementalRead, KeepsDotsAndAccentsWithTheirLines) {
    // Between the dot of an "i" or an accent and a line of short letters runs a blank row: the line must still be
    // analysed as one, not as a row of dots above a line of stems.
    test::TextStyle style;
    style.pixelSize = 30;
    for (const QString& line :
         {QStringLiteral("minimum union in vim"), QStringLiteral("une \u00e9p\u00e9e \u00e9mue")}) {
        auto outcome = test::run(recognizeText(test::renderLines(QSize(700, 90), {line}, style, 25, 40), 0), patience);
        ASSERT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.value.value_or(QString()), line);
    }
}

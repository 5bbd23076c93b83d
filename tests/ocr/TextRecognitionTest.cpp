#include "tavrine/ocr/TextRecognition.h"
#include "TextImages.h"
#include "support/TestSupport.h"
#include "tavrine/core/Error.h"
#include "tavrine/ocr/OcrBackend.h"
#include "tavrine/ocr/OcrEngine.h"
#include "tavrine/ocr/PageReader.h"
#include "tavrine/speech/SoundModule.h"

#include "Printing.h"
#include <QFileInfo>
#include <QPainter>
#include <functional>
#include <future>
#include <numeric>
#include <tuple>

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace tavrine;

namespace {

// Recognition under the sanitizers on a small CI machine is slow; these limits only stop a hung test.
constexpr double patience = 120;

QString recognize(const QImage& image, double band = 0) {
    auto outcome = test::run(recognizeText(image, band), patience);
    EXPECT_TRUE(outcome.finished);
    test::rethrow(outcome);
    return outcome.value.value_or(QStringLiteral("<no result>"));
}

MergedText recognizeMerging(const QImage& image, double band, const QString& base, qsizetype budget) {
    auto outcome = test::run(recognizeAndMerge(image, band, base, budget), patience);
    EXPECT_TRUE(outcome.finished);
    test::rethrow(outcome);
    return outcome.value.value_or(MergedText{});
}

void onOcrThread(std::function<void(PageReader&)> work) {
    auto outcome = test::run(OcrEngine::perform(std::move(work)), patience);
    ASSERT_TRUE(outcome.finished);
}

PageReader::Counters counters() {
    PageReader::Counters seen;
    onOcrThread([&seen](PageReader& reader) { seen = reader.counters(); });
    return seen;
}

void clearCaches() {
    onOcrThread([](PageReader& reader) { reader.clearCaches(); });
}

// The letters to insert, delete or replace to turn one text into the other.
qsizetype editDistance(const QString& a, const QString& b) {
    std::vector<qsizetype> previous(size_t(b.size() + 1));
    std::iota(previous.begin(), previous.end(), 0);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        std::vector<qsizetype> current(size_t(b.size() + 1));
        current[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j)
            current[size_t(j)] = std::min({previous[size_t(j)] + 1, current[size_t(j - 1)] + 1,
                                           previous[size_t(j - 1)] + (a.at(i - 1) == b.at(j - 1) ? 0 : 1)});
        previous = std::move(current);
    }
    return previous.back();
}

test::TextStyle large() {
    test::TextStyle style;
    style.pixelSize = 32;
    return style;
}

} // namespace

TEST(RecognizeText, ReadsLinesTopToBottomLeavingOutTheTopBand) {
    const QStringList lines = {QStringLiteral("Tavrine focus session"), QStringLiteral("Quarterly revenue report"),
                               QStringLiteral("Meeting notes for Tuesday")};
    const QImage image = test::renderLines(QSize(900, 300), lines, large(), 20, 90);
    EXPECT_EQ(recognize(image), lines.join(QLatin1Char('\n')));
    // The first line's top edge lies in the top fifth; the second starts at about 36% of the height.
    EXPECT_EQ(recognize(image, 0.2), lines.mid(1).join(QLatin1Char('\n')));
    EXPECT_EQ(recognize(image, 0.9), QString());
}

TEST(RecognizeText, OrdersLinesByHeightWhateverTheColumns) {
    // A right-hand column whose line stands higher than the left column's: the layout reads columns one after
    // the other, the result goes by height.
    QImage image(1000, 320, QImage::Format_RGB32);
    image.fill(Qt::white);
    test::TextStyle style;
    style.pixelSize = 30;
    test::drawText(image, QPoint(40, 230), QStringLiteral("Lower left column"), style);
    test::drawText(image, QPoint(560, 80), QStringLiteral("Upper right column"), style);
    EXPECT_EQ(recognize(image), QStringLiteral("Upper right column\nLower left column"));
}

TEST(RecognizeText, FindsTheLinesOfStretchesWithoutBlankRowsBetweenThem) {
    struct Case {
        const char* name;
        QImage image;
        QString text;
    };
    test::TextStyle style;
    style.pixelSize = 28;
    const QStringList tight = {QStringLiteral("Tightly set lines of type"), QStringLiteral("with no leading below")};
    // A title bar: window buttons far left of its title, in one stretch of rows.
    QImage bar(900, 44, QImage::Format_RGB32);
    bar.fill(QColor(236, 236, 238));
    {
        QPainter painter(&bar);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) {
            painter.setBrush(QColor::fromHsv(i * 40, 180, 240));
            painter.drawEllipse(QRectF(12 + 20 * i, 16, 12, 12));
        }
    }
    test::TextStyle title;
    title.pixelSize = 14;
    title.ink = QColor(60, 60, 60);
    test::drawText(bar, QPoint(400, 27), QStringLiteral("Tuesday 22 Sep"), title);
    const std::vector<Case> cases = {
        // Descenders of one line reach the ascenders of the next: two lines, not one of double height.
        {"two lines touching", test::renderLines(QSize(900, 110), tight, style, 20, 29), tight.join(u'\n')},
        {"title beside window buttons", bar, QStringLiteral("Tuesday 22 Sep")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(recognize(c.image), c.text) << c.name;

    // A spreadsheet has no blank row between its rows: grid lines cross them all, and the cell cursor's frame
    // sits on one. Each row of cells reads as one line (after its row number, when that is read), in row order.
    struct Sheet {
        const char* name;
        int firstRow;
        int cursorRow;
        test::SheetLook look = {};
        // Letters a row may read wrong: low rows touch the grid lines, and "morning" reads "morming".
        int misreads = 0;
    };
    // Rows set low, so that descenders touch the grid line under them, with a column of numbers set right against
    // the grid line beside them, which the layout leaves out.
    const test::SheetLook lowRows{18, 4, true};
    // The same beside a page break: its dashes are no cells of the rows.
    const test::SheetLook pageBreak{18, 4, true, true};
    for (const Sheet& sheet : {Sheet{"title on top, cursor under it", 0, 1}, Sheet{"cursor on row 3", 0, 2},
                               Sheet{"scrolled by one, no title", 1, 4}, Sheet{"scrolled far down", 20, 22},
                               Sheet{"numbers, descenders on the grid", 0, 2, lowRows, 2},
                               Sheet{"numbers, descenders on the grid, cursor on row 7", 0, 6, lowRows, 2},
                               Sheet{"numbers beside a page break", 0, 2, pageBreak, 2}}) {
        const QStringList lines =
            recognize(test::renderSheet(QSize(700, 300), sheet.firstRow, sheet.cursorRow, sheet.look))
                .split(QLatin1Char('\n'));
        qsizetype next = 0;
        // The 15 rows below the column letters.
        for (int row = sheet.firstRow; row < sheet.firstRow + 15; ++row) {
            const QString words = test::sheetRow(row, sheet.look);
            const auto found = std::find_if(lines.begin() + next, lines.end(), [&](const QString& line) {
                return editDistance(line, words) <= sheet.misreads ||
                       editDistance(line, QString::number(row + 1) + u' ' + words) <= sheet.misreads;
            });
            EXPECT_NE(found, lines.end())
                << sheet.name << ": row " << row + 1 << " \"" << qPrintable(words) << "\" in\n"
                << qPrintable(lines.join(u'\n'));
            if (found != lines.end())
                next = found - lines.begin() + 1;
        }
    }
}

TEST(RecognizeText, ReadsDarkThemesAndDarkBarsOnLightPages) {
    test::TextStyle dark = large();
    dark.ink = QColor(225, 225, 225);
    dark.paper = QColor(30, 31, 34);
    const QStringList lines = {QStringLiteral("Dark theme editor window"),
                               QStringLiteral("Build finished without errors")};
    EXPECT_EQ(recognize(test::renderLines(QSize(900, 220), lines, dark, 20, 90)), lines.join(QLatin1Char('\n')));

    // A light page with a dark title bar: the page is not inverted, the bar's line is.
    QImage page =
        test::renderLines(QSize(900, 260), {QString(), QStringLiteral("Plain body text below")}, large(), 20, 120);
    QPainter(&page).fillRect(QRect(0, 0, 900, 90), QColor(40, 40, 40));
    test::TextStyle bar = large();
    bar.ink = QColor(235, 235, 235);
    test::drawText(page, QPoint(40, 58), QStringLiteral("Settings and preferences"), bar);
    EXPECT_EQ(recognize(page), QStringLiteral("Settings and preferences\nPlain body text below"));
}

// Crops of real windows on the X11 test desktop, as the capture hands them to the reader (8-bit grey; written by
// bench/capture_bench with TAVRINE_BENCH_CROP, some cut down and optimised): the lines each must read whole, in
// this order, among others it may read; every line the reference reader (tesseract --psm 3 on the same crop) reads
// is among them, as the screen shows it or as that reader reads it, and every file name shown. A line of one holds
// nothing of another: a side pane's label run into the names beside it, a banner's text run into a label, or a
// selected name read as noise, reads as no line given here. A text beginning with "^" is a pattern.
TEST(RecognizeText, ReadsRealWindowsLineForLine) {
    const auto whole = [](const QString& line) {
        return QRegularExpression(line.startsWith(u'^') ? line : u'^' + QRegularExpression::escape(line) + u'$');
    };
    const auto lines = [&](std::initializer_list<const char*> texts) {
        QList<QRegularExpression> patterns;
        for (const char* text : texts)
            patterns.append(whole(QString::fromUtf8(text)));
        return patterns;
    };
    // A sheet's rows, each read as one line after its number (a stray point after it is a misread of the row
    // header's edge), ending with its hours and cost.
    const std::pair<const char*, const char*> sheet[] = {
        {"4", "1286.68"},  {"33", "3617.04"}, {"5", "4043.11"},  {"37", "2128.28"}, {"4", "3722.05"},
        {"27", "2463.69"}, {"7", "9628.73"},  {"7", "9074.91"},  {"32", "8811.54"}, {"38", "7524.46"},
        {"16", "1441.73"}, {"29", "4817.77"}, {"11", "5704.19"}, {"3", "1371.97"},  {"23", "9838.63"},
        {"6", "4522.60"},  {"20", "9569.87"}, {"25", "5785.02"}, {"40", "2018.63"}, {"9", "4156.50"},
        {"11", "7459.51"}, {"28", "9114.35"}, {"25", "3880.19"}, {"15", "3922.01"}, {"19", "167.18"},
        {"9", "8545.79"},  {"36", "6528.50"}, {"31", "6660.07"}, {"29", "2759.14"}, {"1", "9386.19"}};
    QList<QRegularExpression> sheetRows;
    for (int row = 2; row <= 31; ++row) {
        const auto& [hours, cost] = sheet[row - 2];
        sheetRows.append(QRegularExpression(
            QStringLiteral("^%1\\.? .+ %2 %3$")
                .arg(row)
                .arg(QString::fromLatin1(hours), QString::fromLatin1(cost).replace(u'.', QStringLiteral("[.,]")))));
    }
    // A sheet with its side panel open, rows 2 to 28 of its task, place and hours: each row read whole, its first
    // cell and its hours, or as far as the window shows it (the task and the place's first letters).
    const std::tuple<const char*, const char*, const char*> works[] = {
        {"capstan", "west", "4"},  {"crane", "ferry", "38"},   {"crane", "west", "6"},    {"hawser", "west", "36"},
        {"buoy", "ferry", "38"},   {"buoy", "north", "4"},     {"fender", "north", "9"},  {"ladder", "north", "37"},
        {"ladder", "ferry", "37"}, {"capstan", "ferry", "5"},  {"buoy", "west", "35"},    {"capstan", "dry", "30"},
        {"bollard", "west", "16"}, {"slipway", "north", "22"}, {"slipway", "north", "8"}, {"ladder", "inner", "32"},
        {"hawser", "north", "21"}, {"capstan", "north", "38"}, {"hawser", "ferry", "31"}, {"hawser", "ferry", "20"},
        {"winch", "inner", "25"},  {"capstan", "ferry", "23"}, {"hawser", "dry", "14"},   {"ladder", "east", "26"},
        {"winch", "ferry", "29"},  {"slipway", "west", "28"},  {"slipway", "east", "23"}};
    // `unnumbered`: rows whose number is not read (lost beside a cell's spelling mark, or read as a letter).
    const auto sidebarRows = [&](int last, bool hours, QList<int> unnumbered = {}) {
        QList<QRegularExpression> rows{
            QRegularExpression(hours ? QStringLiteral("Place Crew Hours Cost") : QStringLiteral("Place"))};
        for (int row = 2; row <= last; ++row) {
            const auto& [task, place, worked] = works[row - 2];
            // The row's number before its first cell, a stroke of the grid or a letter beside it at most.
            const QString number =
                unnumbered.contains(row) ? QString() : QStringLiteral("^\\S{0,2}%1(?!\\d).*").arg(row);
            const QString cells =
                hours ? QStringLiteral("%1.* %2( |$)").arg(QLatin1String(task), QLatin1String(worked))
                      : QStringLiteral("%1.* %2").arg(QLatin1String(task), QLatin1String(place).left(3));
            rows.append(QRegularExpression(number + cells));
        }
        return rows;
    };
    struct Window {
        const char* file;
        QList<QRegularExpression> lines;
    };
    const std::vector<Window> windows = {
        {"firefox.png", lines({"Crane maintenance schedule", "The north crane is inspected on Thursday morning.",
                               "Check the hydraulic hoses and the brake pads on", "crane four."})},
        // The whole window: tabs, the address bar and an info bar above the page.
        {"chromium.png", lines({"Harbour log", "^127\\.0\\.0\\.1:18765/harbour\\.htm.$", "Crane maintenance schedule",
                                "The north crane is inspected on Thursday morning.",
                                "Check the hydraulic hoses and the brake pads on", "crane four."})},
        {"thunderbird.png",
         lines({"hazel@underwood-design.example", "Revised quote for the harbour brochure", "Hello Robin,"})},
        {"mousepad.png", lines({"Harbour inspection notes", "The south quay needs new fenders before winter",
                                "Crane four: hydraulic hoses checked on Monday", "Ferry berth lights replaced"})},
        {"xterm.png", lines({"Harbour crane inspection", "North quay fender repair", "Ferry timetable for Thursday"})},
        // A file manager's row of names beside its side pane's labels, under a banner, the current item framed;
        // the names wrap onto a second line.
        {"dolphin.png", lines({"Places", "Home", "Trash", "Remote", "Network", "Recent",
                               "crane- fender-repairs. ferry-timetable. quay-notes.txt", "inspection.odt ods pdf",
                               "Modified Today", "Modified Yesterday"})},
        {"dolphin-noto.png", lines({"Running Dolphin as root can be dangerous. Please be careful.",
                                    "crane-inspection. fender-repairs.ods ferry-timetable.pdf", "Recent",
                                    "Modified Today", "Modified Yesterday", "quay-notes.txt"})},
        // The selected name drawn light on a dark highlight.
        {"dolphin-selected.png",
         lines({"crane-inspection. fender-repairs.ods ferry-timetable.pdf", "Recent", "Modified Today"})},
        // Side pane labels beside their icons, the names at the height of one of them.
        {"thunar.png",
         lines({"Warning: you are using the root account. You may harm your system.", "Places", "home-thunar",
                "Devices", "crane-inspection.odt fender-repairs.ods ferry-timetable.pdf", "quay-notes.txt"})},
        // The second line of a wrapped name at the height of a side pane's label.
        {"thunar-wrapped.png", lines({"Places", "Devices", "crane- fender-repairs.ods ferry-timetable.pdf",
                                      "File System", "inspection.odt", "quay-notes.txt"})},
        {"thunar-wide.png", lines({"Places", "home-thunar", "Devices",
                                   "crane-inspection.odt fender-repairs.ods ferry-timetable.pdf quay-notes.txt"})},
        {"gnumeric.png", sheetRows},
        // File names read alone, each unsure of itself, beside the warning bar, at four window sizes; and a row of
        // names with the last on a highlight, and one with the first.
        {"thunar-names-640.png", lines({"Warning: you are using the root account. You may harm your system.", "Places",
                                        "Devices", "gammaclist.txt", "quay_log-2.txt", "tide-table.csv", "winch.cfg"})},
        {"thunar-names-800.png",
         lines({"Warning: you are using the root account. You may harm your system.", "Places", "Devices",
                "gammaclist.txt", "quay_log-2.txt", "tide-table.csv", "winch.cfg", "File System"})},
        {"thunar-names-900.png",
         lines({"Warning: you are using the root account. You may harm your system.", "Places", "Devices",
                "gammaclist.txt", "quay_log-2.txt", "tide-table.csv", "winch.cfg", "File System"})},
        {"thunar-names-1000.png",
         lines({"Warning: you are using the root account. You may harm your system.", "Places", "Devices",
                "gammaclist.txt", "quay_log-2.txt", "tide-table.csv", "winch.cfg", "File System"})},
        {"thunar-highlight.png", lines({"Warning: you are using the root account. You may harm your system.", "Places",
                                        "Devices", "alpha-notes.txt beta-plan.odt gamma-list.txt", "File System"})},
        {"thunar-selected.png", lines({"Places", "home-thunar", "Devices", "crane-inspection.odt fender-repairs.ods",
                                       "ferry-timetable.pdf", "quay-notes.txt"})},
        // The current item framed in light grey; a free-space bar shaded in bands in the status bar.
        {"dolphin-names-640.png", lines({"Places", "^Running Dolphin as root can be dangerous\\. Please", "be careful.",
                                         "Remote", "alpha-notes.txt beta-plan.odt", "Recent", "Modified Today",
                                         "Modified Yesterday", "gamma-list.txt", "^3 Files \\(69 B\\) Zoom:"})},
        {"dolphin-names-800.png",
         lines({"Places", "Running Dolphin as root can be dangerous. Please be careful.", "Remote", "alpha-notes.txt",
                "beta-plan.odt", "gamma-list.txt", "Recent", "Modified Today", "Modified Yesterday",
                "^3 Files \\(69 B\\) Zoom: .*25.3 G[iI]B free"})},
        {"dolphin-names-900.png",
         lines({"Places", "Running Dolphin as root can be dangerous. Please be careful.", "Remote", "alpha-notes.txt",
                "beta-plan.odt", "gamma-list.txt", "Recent", "Modified Today", "Modified Yesterday",
                "^3 Files \\(69 B\\) Zoom: .*25.3 G[iI]B free"})},
        {"dolphin-names-1000.png",
         lines({"Places", "Running Dolphin as root can be dangerous. Please be careful.", "Remote", "alpha-notes.txt",
                "beta-plan.odt", "gamma-list.txt", "Recent", "Modified Today", "Modified Yesterday",
                "^3 Files \\(69 B\\) Zoom: .*25.3 G[iI]B free"})},
        // The location, a white field on the grey tool bar beside its buttons; wrapped names.
        {"pcmanfm-640.png", lines({"File Edit View Bookmarks Go Tools Help", "^[_\\W]?/tmp/ocrfloor/files$", "^Places",
                                   "^\\S* ?Home Folder$", "alpha- beta- gamma-", "notes.txt plan.odt list.txt",
                                   "3 items Free space: 156.7 MiB (Total: 252.0 GiB)"})},
        {"pcmanfm-800.png", lines({"File Edit View Bookmarks Go Tools Help", "^[_\\W]?/tmp/ocrfloor/files$", "^Places",
                                   "^\\S* ?Home Folder$", "alpha- beta- gamma-", "notes.txt plan.odt list.txt",
                                   "3 items Free space: 156.7 MiB (Total: 252.0 GiB)"})},
        {"pcmanfm-900.png", lines({"File Edit View Bookmarks Go Tools Help", "^[_\\W]?/tmp/ocrfloor/files$", "^Places",
                                   "^\\S* ?Home Folder$", "alpha- beta- gamma-", "notes.txt plan.odt list.txt",
                                   "3 items Free space: 156.7 MiB (Total: 252.0 GiB)"})},
        {"pcmanfm-1000.png", lines({"File Edit View Bookmarks Go Tools Help", "^[_\\W]?/tmp/ocrfloor/files$", "^Places",
                                    "^\\S* ?Home Folder$", "alpha- beta- gamma-", "notes.txt plan.odt list.txt",
                                    "3 items Free space: 156.7 MiB (Total: 252.0 GiB)"})},
        {"calc-sidebar-640.png", sidebarRows(15, false)},
        {"calc-sidebar-800.png", sidebarRows(22, true, {5})},
        {"calc-sidebar-900.png", sidebarRows(24, true, {13})},
        {"calc-sidebar-1000.png", sidebarRows(28, true)},
    };
    for (const Window& window : windows) {
        const QImage image(QStringLiteral(TAVRINE_OCR_SCREENS "/") + QString::fromLatin1(window.file));
        ASSERT_FALSE(image.isNull()) << window.file;
        const QStringList read = recognize(image).split(u'\n');
        qsizetype next = 0;
        for (const QRegularExpression& line : window.lines) {
            const auto found = std::find_if(read.begin() + next, read.end(),
                                            [&](const QString& text) { return line.match(text).hasMatch(); });
            EXPECT_NE(found, read.end()) << window.file << ": " << qPrintable(line.pattern()) << " in\n"
                                         << qPrintable(read.join(u'\n'));
            if (found != read.end())
                next = found - read.begin() + 1;
        }
    }
}

TEST(RecognizeText, IconsControlsAndPicturesGiveNothing) {
    EXPECT_EQ(recognize(test::renderIcons(QSize(800, 360), false, 3)), QString());
    EXPECT_EQ(recognize(test::renderIcons(QSize(800, 360), true, 4)), QString());
}

TEST(RecognizeText, OddImagesGiveNothingOrTheirText) {
    EXPECT_EQ(recognize(QImage()), QString());
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(Qt::black);
    EXPECT_EQ(recognize(dot), QString());
    QImage blank(640, 200, QImage::Format_Grayscale8);
    blank.fill(255);
    EXPECT_EQ(recognize(blank), QString());

    // Transparent around the text, as a window with rounded corners may be: read over white.
    QImage clear(900, 120, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    test::drawText(clear, QPoint(40, 70), QStringLiteral("Text over nothing"), large());
    EXPECT_EQ(recognize(clear), QStringLiteral("Text over nothing"));
}

// What a capture without text, or a silent nudge, logs: the module or the language model that could not be loaded,
// by name. A program in the build tree loads the modules built there, never those an installed package left.
TEST(OcrBackend, NamesTheMissingModuleOrLanguageAndLoadsTheBuildTreesOwn) {
    struct Module {
        std::function<bool(const std::string&, std::string&)> load;
        std::string path;
        std::string name;
    };
    const QList<Module> modules = {
        {[](const std::string& path, std::string& error) { return OcrBackend::load(path, error) != nullptr; },
         OcrBackend::modulePath(), "tavrine-tesseract.so"},
        {[](const std::string& path, std::string& error) { return SoundModule::load(path, error) != nullptr; },
         SoundModule::modulePath(), "tavrine-sound.so"},
    };
    std::string error;
    for (const Module& module : modules) {
        SCOPED_TRACE(module.name);
        const std::string missing = "/nonexistent/" + module.name;
        EXPECT_FALSE(module.load(missing, error));
        EXPECT_NE(error.find(missing), std::string::npos) << error;
        EXPECT_TRUE(module.path.ends_with("/" + module.name)) << module.path;
        EXPECT_TRUE(QFileInfo(QString::fromStdString(module.path)).isFile()) << module.path;
        EXPECT_FALSE(module.path.starts_with("/usr/")) << module.path;
        // The other module is no OCR module, nor the reverse: the entry's name is part of the error.
        error.clear();
        EXPECT_FALSE(module.load(modules[module.name == modules[0].name ? 1 : 0].path, error));
        EXPECT_NE(error.find("has no tavrine_"), std::string::npos) << error;
    }
    ASSERT_NE(OcrBackend::instance(), nullptr);
    error.clear();
    EXPECT_EQ(OcrBackend::instance()->createRecognizer("qqq", error), nullptr);
    EXPECT_NE(error.find("\"qqq\""), std::string::npos) << error;
}

TEST(RecognizeAndMerge, GivesTheTwoStepResultRecognisingOnlyTheLinesItNeeds) {
    const QSize size(1000, 520);
    const QImage image = test::renderDocument(size, 0);
    const QString text = recognize(image, 0.1);
    ASSERT_GE(text.count(QLatin1Char('\n')), 8) << qPrintable(text);
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0);
    const QString base = QStringLiteral("Editor · notes.txt\n") + firstLine;

    // Room for the second line and part of the third.
    const qsizetype budget = base.size() + 1 + text.section(QLatin1Char('\n'), 1, 1).size() + 10;
    clearCaches();
    const PageReader::Counters before = counters();
    const MergedText small = recognizeMerging(image, 0.1, base, budget);
    EXPECT_EQ(small, mergeCapturedText(base, text, budget));
    EXPECT_GT(small.added, 0);
    // The lines below the merge's stop were never recognised.
    const int read = counters().linesRead - before.linesRead;
    EXPECT_LT(read, text.count(QLatin1Char('\n')));

    EXPECT_EQ(recognizeMerging(image, 0.1, base, 2400), mergeCapturedText(base, text, 2400));
    EXPECT_EQ(recognizeMerging(image, 0.1, QString(), 0), (MergedText{QString(), 0}));
}

TEST(RecognizeText, RemembersLinesByTheirPixelsAndReadsTheSameAsAFreshRun) {
    const QSize size(1000, 520);
    const QImage top = test::renderDocument(size, 0);
    const QImage scrolled = test::renderDocument(size, 3);
    const QImage edited = test::renderDocument(size, 3, 7);

    clearCaches();
    const QString freshScrolled = recognize(scrolled);
    clearCaches();
    const QString freshEdited = recognize(edited);
    ASSERT_TRUE(freshEdited.contains(QStringLiteral("quick brown fox"))) << qPrintable(freshEdited);

    clearCaches();
    recognize(top);
    const PageReader::Counters afterTop = counters();
    EXPECT_EQ(recognize(scrolled), freshScrolled);
    const PageReader::Counters afterScroll = counters();
    EXPECT_GT(afterScroll.linesReused - afterTop.linesReused, afterScroll.linesRead - afterTop.linesRead);

    EXPECT_EQ(recognize(edited), freshEdited);
    const PageReader::Counters afterEdit = counters();
    EXPECT_LE(afterEdit.linesRead - afterScroll.linesRead, 2);

    // The same page again: nothing is analysed or recognised anew.
    EXPECT_EQ(recognize(edited), freshEdited);
    const PageReader::Counters again = counters();
    EXPECT_EQ(again.layouts, afterEdit.layouts);
    EXPECT_EQ(again.linesRead, afterEdit.linesRead);

    // The image just read, written over in place: its new pixels are read, not the page it held.
    QImage rewritten = edited;
    rewritten.fill(Qt::white);
    test::drawText(rewritten, QPoint(40, 200), QStringLiteral("Written over in place"), large());
    EXPECT_EQ(recognize(rewritten), QStringLiteral("Written over in place"));
    // Once more, where no other copy shares its pixels: the change in place is still a new page.
    rewritten.fill(Qt::white);
    test::drawText(rewritten, QPoint(40, 200), QStringLiteral("Written over once more"), large());
    EXPECT_EQ(recognize(rewritten), QStringLiteral("Written over once more"));
}

TEST(RecognizeText, CancellingResumesTheCallerAtOnce) {
    // The OCR thread is held busy, so the recognition cannot even start: only the cancellation can end the wait.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto blocker = test::start(OcrEngine::perform([released](PageReader&) { released.wait(); }));

    CancellationSource source;
    auto waiting = test::start(recognizeText(test::renderDocument(QSize(800, 300), 0), 0, source.token()));
    QCoreApplication::processEvents();
    EXPECT_FALSE(waiting->finished);
    source.cancel();
    EXPECT_TRUE(test::waitUntil([&] { return waiting->finished; }, patience));
    EXPECT_FALSE(blocker->finished);
    EXPECT_THROW(test::rethrow(*waiting), CancelledError);

    release.set_value();
    EXPECT_TRUE(test::waitUntil([&] { return blocker->finished; }, patience));

    // An already cancelled request throws without waiting, and the engine still serves the next one.
    auto early = test::run(recognizeAndMerge(QImage(), 0, QString(), 10, source.token()), patience);
    EXPECT_THROW(test::rethrow(early), CancelledError);
    const QStringList lines = {QStringLiteral("Still reading after a cancel")};
    EXPECT_EQ(recognize(test::renderLines(QSize(900, 100), lines, large(), 20, 60)), lines.first());
}

TEST(PageReader, ReadsTheCountingPiecesOfALineRunAcrossColumns) {
    // The layout may take a side pane's label and the file names beside it, set a few pixels lower, for one line,
    // which reads unsure as a whole.
    const QImage image = test::renderFileManager(QSize(640, 480));
    std::optional<PageReader::Line> line;
    onOcrThread([&](PageReader& reader) {
        reader.clearCaches();
        const std::atomic<bool> never{false};
        line = reader.readLine(PageReader::preparePage(image), QRect(19, 186, 560, 24), never);
    });
    ASSERT_TRUE(line);
    EXPECT_TRUE(PageReader::counts(*line)) << line->confidence << " " << qPrintable(line->text);
    EXPECT_TRUE(line->text.contains(QStringLiteral("system"), Qt::CaseInsensitive)) << qPrintable(line->text);
    EXPECT_TRUE(line->text.contains(QStringLiteral("inspection.odt"))) << qPrintable(line->text);
}

TEST(PageReader, TakesWordsShapedAsNamesNumbersAndWordsAndNotAnIconsStrings) {
    // Read alone, such a word is sure from a lower confidence than a line; what an icon or a border reads as is not.
    const std::pair<const char*, bool> words[] = {
        {"gamma-list.txt", true},
        {"127.0.0.1:18765/harbour.htm!", true},
        {"quay_log-2.txt", true},
        {"Quarterly", true},
        {"HTTP", true},
        {"(buoy5)", true},
        {"4392.66", true},
        {"10px", true},
        {"don't", true},
        {"oQn8", false},
        {"QO00Q", false},
        {"#£QAH", false},
        {"rrevrvroeoax#ex", false},
        {"iqy", false},
        {"a1b2", false},
        {"--::..", false},
        {"", false},
        {"LibreOffice", false},
    };
    for (const auto& [word, shaped] : words)
        EXPECT_EQ(PageReader::isWordShaped(QString::fromUtf8(word)), shaped) << word;
}

TEST(PageReader, ReadsAPagesLinesWithRecognizersBesideItsOwnAsItDoesAlone) {
    // A sheet's rows, and a file manager whose unsure lines are read piece by piece; read whole, and stopped
    // after three lines.
    const QList<QImage> pages = {test::renderSheet(QSize(700, 300), 0, 2),
                                 QImage(QStringLiteral(TAVRINE_OCR_SCREENS "/thunar.png"))};
    PageReader alone(0);
    PageReader beside(2);
    const std::atomic<bool> never{false};
    const auto read = [&](PageReader& reader, const QImage& page, qsizetype most) {
        QStringList lines;
        EXPECT_TRUE(reader.read(page, 0, never, [&](const QString& line) {
            lines.append(line);
            return lines.size() < most;
        }));
        return lines;
    };
    QList<QStringList> wholes;
    for (const QImage& page : pages) {
        ASSERT_FALSE(page.isNull());
        wholes.append(read(alone, page, 1000));
        EXPECT_EQ(read(beside, page, 1000), wholes.last());
    }
    // Each line was read once, by one recognizer or another.
    EXPECT_EQ(beside.counters().linesRead, alone.counters().linesRead);
    alone.clearCaches();
    beside.clearCaches();
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const int aloneBefore = alone.counters().linesRead;
        const int besideBefore = beside.counters().linesRead;
        EXPECT_EQ(read(alone, pages.at(i), 3), wholes.at(i).mid(0, 3));
        EXPECT_EQ(read(beside, pages.at(i), 3), wholes.at(i).mid(0, 3));
        // The lines read ahead, at most two for each recognizer beside it and one of its own, were read for
        // nothing.
        EXPECT_LE(beside.counters().linesRead - besideBefore, alone.counters().linesRead - aloneBefore + 2 * 2 + 1);
    }
}

TEST(PageReader, StopsRecognisingWhenCancelledAndRemembersNothingHalfRead) {
    const QImage image = test::renderDocument(QSize(900, 300), 50);
    std::optional<PageReader::Line> whileCancelled;
    std::optional<PageReader::Line> afterwards;
    QList<OcrWord> digitsWhileCancelled{{QStringLiteral("unread"), QRect()}};
    int linesTaken = 0;
    bool readWhileCancelledMidway = true;
    onOcrThread([&](PageReader& reader) {
        reader.clearCaches();
        const QImage page = PageReader::preparePage(image);
        const QList<QRect> boxes = reader.lineBoxes(page);
        ASSERT_FALSE(boxes.isEmpty());
        // The recognizer's progress monitor stops it at its first check. A line read in digits alone and
        // stopped so leaves the recognizer every character for the next read.
        std::atomic<bool> cancelled{true};
        digitsWhileCancelled = reader.readLineIn(page, boxes.first(), QStringLiteral("0123456789"), cancelled);
        whileCancelled = reader.readLine(page, boxes.first(), cancelled);
        std::atomic<bool> running{false};
        afterwards = reader.readLine(page, boxes.first(), running);
        // Between lines: the flag turns while the first line is handed over; no later line is read.
        reader.clearCaches();
        std::atomic<bool> flag{false};
        readWhileCancelledMidway = reader.read(image, 0, flag, [&](const QString&) {
            ++linesTaken;
            flag = true;
            return true;
        });
    });
    EXPECT_TRUE(digitsWhileCancelled.isEmpty());
    EXPECT_FALSE(whileCancelled);
    ASSERT_TRUE(afterwards);
    EXPECT_EQ(afterwards->text.simplified().section(QLatin1Char(' '), 0, 0), QStringLiteral("51"));
    EXPECT_TRUE(afterwards->text.contains(QRegularExpression(QStringLiteral("[a-z]{3}"))))
        << qPrintable(afterwards->text);
    EXPECT_FALSE(readWhileCancelledMidway);
    EXPECT_EQ(linesTaken, 1);
}

#include "tavrine/capture/TextWalk.h"

#include "fakes/FakeAccessibilityBus.h"

#include "Printing.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tavrine;
using namespace tavrine::capture;
using tavrine::test::FakeAccessibilityBus;
namespace role = tavrine::platform::role;
namespace state = tavrine::platform::state;

namespace {

struct Walk {
    FakeAccessibilityBus bus;
    ElementReader reader{bus};
    AccessibleRef app = bus.addApplication(100, QStringLiteral("Editor"));
    AccessibleRef window = bus.add(app, role::frame, QStringLiteral("Doc"));
    WalkState state;
    ActivityEvidence evidence;
    std::atomic<bool> cancelled{false};
    double clock = 0;

    AccessibleRef add(const AccessibleRef& parent, quint32 elementRole, const QString& name = {},
                      std::optional<QRect> extents = std::nullopt, bool selected = false) {
        FakeAccessibilityBus::Node node;
        node.role = elementRole;
        if (!name.isNull())
            node.name = name;
        node.extents = extents;
        if (selected)
            node.states->set(state::selected);
        return bus.add(parent, node);
    }
    void run(double deadline = 1.5) {
        collectVisibleText(
            reader, window, 0, state, evidence, deadline, [this] { return clock; }, cancelled);
    }
    QStringList texts() const {
        QStringList result;
        for (const WalkedElement& record : state.walked)
            result.append(record.text);
        return result;
    }
};

} // namespace

TEST(CollectVisibleText, CutsOffHiddenSubtreesSecureFieldsTabsAndBars) {
    Walk walk;
    const auto hidden = walk.add(walk.window, 39);
    walk.bus.edit(hidden, [](auto& node) { node.states = platform::AccessibleStates(); });
    walk.add(hidden, role::heading, QStringLiteral("Hidden heading"));
    const auto unreadable = walk.add(walk.window, 39);
    walk.bus.edit(unreadable, [](auto& node) { node.states.reset(); });
    walk.add(unreadable, role::heading, QStringLiteral("Readable heading"));
    const auto otherTab = walk.add(walk.window, role::pageTab, QStringLiteral("Other tab title"));
    walk.add(otherTab, role::heading, QStringLiteral("Below a tab"));
    // A GTK notebook keeps the document in its selected page tab.
    const auto shownTab = walk.add(walk.window, role::pageTab, QStringLiteral("notes.txt"), std::nullopt, true);
    walk.add(shownTab, role::heading, QStringLiteral("On the shown page"));
    walk.add(walk.add(walk.window, role::toolBar, {}, QRect(0, 40, 800, 40)), role::heading,
             QStringLiteral("In a tool bar"));
    walk.add(walk.add(walk.window, role::menuBar, {}, QRect(0, 0, 800, 30)), role::heading,
             QStringLiteral("In a menu bar"));
    walk.add(walk.window, role::passwordText, QStringLiteral("hunter2 secret"), std::nullopt, true);
    // Bars are strips; a panel is a header bar only near the window's top.
    walk.add(walk.window, role::statusBar, {}, QRect(0, 570, 800, 30));
    walk.add(walk.window, role::statusBar, {}, QRect(0, 100, 800, 400));
    walk.add(walk.window, role::panel, {}, QRect(0, 20, 800, 50));
    walk.add(walk.window, role::panel, {}, QRect(0, 300, 800, 50));
    walk.add(walk.add(walk.add(walk.window, role::panel), role::panel), role::panel, {}, QRect(0, 0, 800, 50));
    walk.evidence.windowFrame = QRectF(0, 0, 800, 600);

    walk.run();
    EXPECT_EQ(walk.texts(), (QStringList{QStringLiteral("Readable heading"), QStringLiteral("notes.txt"),
                                         QStringLiteral("On the shown page")}));
    EXPECT_EQ(walk.state.barFrames, (QList<QRectF>{QRectF(0, 40, 800, 40), QRectF(0, 0, 800, 30),
                                                   QRectF(0, 570, 800, 30), QRectF(0, 20, 800, 50)}));
}

TEST(CollectVisibleText, RecordsHeadingsSelectedItemsAndWebDocumentsWithTheFirstAddress) {
    Walk walk;
    walk.add(walk.window, role::heading, QString()); // no text: no record
    walk.add(walk.window, role::heading, QStringLiteral("  Release   notes "));
    walk.add(walk.window, role::listItem, QStringLiteral("Chosen item"), std::nullopt, true);
    walk.add(walk.window, role::listItem, QStringLiteral("Other item"));
    FakeAccessibilityBus::Node page;
    page.role = role::documentWeb;
    page.name = QStringLiteral("Page title");
    page.extents = QRect(0, 100, 800, 600);
    page.documentAttributes = QHash<QString, QString>{{QStringLiteral("DocURL"), QStringLiteral("https://a.example/")}};
    const auto document = walk.bus.add(walk.window, page);
    page.name.reset();
    page.extents = QRect(0, 100, 0, 600); // no area: no frame
    page.documentAttributes = QHash<QString, QString>{{QStringLiteral("URI"), QStringLiteral("https://b.example/")}};
    walk.bus.add(document, page);
    // A page held by a document of the application's own (a mail client's message view, the header above the
    // body) offers that document's area; a page inside a page offers its own.
    FakeAccessibilityBus::Node view;
    view.role = 39;
    view.extents = QRect(0, 700, 800, 300);
    view.documentAttributes = QHash<QString, QString>{{QStringLiteral("DocURL"), QStringLiteral("about:message")}};
    page.extents = QRect(0, 800, 800, 200);
    walk.bus.add(walk.add(walk.bus.add(walk.window, view), 28), page);
    page.extents = QRect(10, 150, 300, 200);
    walk.bus.add(walk.add(document, 28), page);
    walk.add(walk.window, role::scrollPane, QString(), QRect(0, 0, 300, 300));
    walk.add(walk.window, role::scrollPane, QString(), QRect(0, 0, 300, 0));
    // A selected tab stands for its page, whose frame holds the tab's label.
    const auto tab = walk.add(walk.window, role::pageTab, QStringLiteral("notes.txt"), QRect(100, 20, 80, 30), true);
    walk.add(tab, 20, QString(), QRect(0, 50, 800, 500));

    walk.run();
    EXPECT_EQ(walk.texts(), (QStringList{QStringLiteral("Release notes"), QStringLiteral("Chosen item"),
                                         QStringLiteral("Page title"), QStringLiteral("notes.txt")}));
    EXPECT_EQ(walk.state.walked.last().frame, QRectF(0, 20, 800, 530));
    EXPECT_TRUE(walk.state.foundWebArea);
    EXPECT_EQ(walk.evidence.url, QStringLiteral("https://a.example/"));
    EXPECT_EQ(walk.state.webAreaFrames,
              (QList<QRectF>{QRectF(0, 100, 800, 600), QRectF(10, 150, 300, 200), QRectF(0, 700, 800, 300)}));
    EXPECT_EQ(walk.state.scrollAreaFrames, QList<QRectF>{QRectF(0, 0, 300, 300)});
}

TEST(CollectVisibleText, StopsAtTheNodeAndDepthLimitsAndReadsARepeatedElementOnce) {
    Walk wide;
    for (int i = 0; i < 1000; ++i)
        wide.add(wide.window, role::heading, QStringLiteral("Heading %1").arg(i));
    wide.run();
    EXPECT_EQ(wide.state.nodeCount, 800);
    ASSERT_EQ(wide.state.walked.size(), 799) << "the window itself is the first of the 800";
    EXPECT_EQ(wide.state.walked.last().text, QStringLiteral("Heading 798"));

    Walk deep;
    AccessibleRef parent = deep.window;
    for (int depth = 1; depth <= 64; ++depth)
        parent = deep.add(parent, role::heading, QStringLiteral("Depth %1").arg(depth));
    deep.run();
    EXPECT_EQ(deep.state.walked.size(), 63);
    EXPECT_EQ(deep.state.walked.last().text, QStringLiteral("Depth 63"));

    // Children read ahead for both panels at once: the second gets only what the first leaves of the limit.
    Walk panels;
    for (const QString& panel : {QStringLiteral("A"), QStringLiteral("B")}) {
        const auto parent = panels.add(panels.window, role::panel);
        for (int i = 0; i < 500; ++i)
            panels.add(parent, role::heading, QStringLiteral("%1 %2").arg(panel).arg(i));
    }
    panels.run();
    EXPECT_EQ(panels.state.nodeCount, 800);
    EXPECT_EQ(panels.state.walked.last().text, QStringLiteral("B 296"));

    Walk repeated;
    const auto heading = repeated.add(repeated.window, role::heading, QStringLiteral("Shared heading"));
    repeated.bus.link(repeated.add(repeated.window, 39), heading);
    repeated.run();
    EXPECT_EQ(repeated.texts(), QStringList{QStringLiteral("Shared heading")});
}

TEST(CollectVisibleText, ReadsWhatItNeedsOnceAndInBatchesAndAgainOnlyInALaterWalk) {
    // A sheet: tool bars and a grid of a thousand cells below the window's panels, of which the first twenty show;
    // the walk's limit ends inside the grid.
    Walk sheet;
    AccessibleRef parent = sheet.window;
    for (int depth = 0; depth < 4; ++depth)
        parent = sheet.add(parent, role::panel);
    QList<AccessibleRef> buttons;
    for (int bar = 0; bar < 3; ++bar) {
        const auto tools = sheet.add(parent, role::toolBar, {}, QRect(0, 30 * bar, 800, 30));
        for (int button = 0; button < 10; ++button)
            buttons.append(sheet.add(tools, role::pushButton, QStringLiteral("Button %1").arg(button)));
    }
    const auto grid = sheet.add(parent, 55);
    for (int cell = 0; cell < 1000; ++cell) {
        const auto added = sheet.add(grid, role::tableCell, QStringLiteral("Cell %1").arg(cell),
                                     QRect(100 * (cell % 20), 100, 100, 20), cell == 0);
        if (cell >= 20)
            sheet.bus.edit(added, [](auto& node) { node.states = platform::AccessibleStates(); });
    }
    const auto beyond = sheet.add(parent, role::panel);
    const auto beyondHeading = sheet.add(beyond, role::heading, QStringLiteral("Beyond the limit"));

    collectVisibleText(
        sheet.reader, sheet.window, 0, sheet.state, sheet.evidence, 1.5, [] { return 0.0; }, sheet.cancelled);
    EXPECT_EQ(sheet.state.nodeCount, 800);
    EXPECT_EQ(sheet.texts(), QStringList{QStringLiteral("Cell 0")});
    // One element's fact after another, the walk would wait for nearly two thousand answers; in batches, a few
    // dozen. Each element is asked for its states once (the panel beyond the limit among its siblings, read
    // ahead), a tool bar's buttons never.
    EXPECT_LT(sheet.bus.waits(), 40);
    const QHash<AccessibleRef, int> stateReads = sheet.bus.stateReads();
    EXPECT_TRUE(std::all_of(stateReads.begin(), stateReads.end(), [](int reads) { return reads == 1; }));
    EXPECT_EQ(stateReads.size(), 801);
    EXPECT_TRUE(stateReads.contains(beyond));
    EXPECT_FALSE(stateReads.contains(beyondHeading)) << "the grid before its panel fills the walk's limit";
    EXPECT_TRUE(std::none_of(buttons.begin(), buttons.end(), [&](const auto& b) { return stateReads.contains(b); }));

    // A later walk of the same reader reads again: the window may have changed since (a browser building its page).
    sheet.bus.edit(parent, [](auto& node) { node.children.prepend(node.children.takeLast()); });
    sheet.state.reset();
    sheet.run();
    EXPECT_EQ(sheet.texts(), (QStringList{QStringLiteral("Beyond the limit"), QStringLiteral("Cell 0")}));
}

TEST(CollectVisibleText, EndsAtTheDeadlineAndOnCancellation) {
    Walk late;
    late.add(late.window, role::heading, QStringLiteral("First heading"));
    late.add(late.window, role::heading, QStringLiteral("Second heading"));
    // Every element read takes a second of the clock.
    int entries = 0;
    collectVisibleText(
        late.reader, late.window, 0, late.state, late.evidence, 2.0, [&] { return double(entries++); }, late.cancelled);
    EXPECT_EQ(late.texts(), QStringList{QStringLiteral("First heading")});

    Walk cancelled;
    cancelled.add(cancelled.window, role::heading, QStringLiteral("Never read"));
    cancelled.cancelled = true;
    cancelled.run();
    EXPECT_EQ(cancelled.state.nodeCount, 0);
}

TEST(FillAccessibilitySummary, OffersOnlyRecordsInsideTheContentFrame) {
    ActivityEvidence evidence;
    evidence.title = QStringLiteral("Notes");
    evidence.focusedDescription = QStringLiteral("draft line");
    const QList<WalkedElement> walked{
        {QStringLiteral("Outside heading"), QRectF(2000, 0, 100, 20), false, role::heading},
        {QStringLiteral("Frameless heading"), std::nullopt, false, role::heading},
        {QStringLiteral("Inside heading"), QRectF(10, 10, 100, 20), false, role::heading},
    };
    evidence.contentFrame = QRectF(0, 0, 800, 600);
    fillAccessibilitySummary(evidence, walked, QStringLiteral("Editor"), {});
    EXPECT_EQ(evidence.subject, QStringLiteral("Inside heading"));
    const QString summary =
        QStringLiteral("App: Editor. Window: \"Notes\". Subject: \"Inside heading\". Focused: draft line.");
    EXPECT_EQ(evidence.header, summary);
    EXPECT_EQ(evidence.text, summary);
    EXPECT_EQ(evidence.accessibilityText, summary);
    EXPECT_EQ(evidence.accessibilityCharacters, summary.size());
    EXPECT_EQ(evidence.ocrCharacters, 0);

    // Without a content frame every record counts, in walk order; ancestor labels come first.
    evidence.contentFrame.reset();
    fillAccessibilitySummary(evidence, walked, QStringLiteral("Editor"), {});
    EXPECT_EQ(evidence.subject, QStringLiteral("Outside heading"));
    fillAccessibilitySummary(evidence, walked, QStringLiteral("Editor"), {QStringLiteral("Chapter two")});
    EXPECT_EQ(evidence.subject, QStringLiteral("Chapter two"));
    // The program's own names say nothing of the work, wherever they come from.
    const QList<WalkedElement> named{{QStringLiteral("Evince"), std::nullopt, false, role::heading},
                                     {QStringLiteral("Chapter three"), std::nullopt, true, role::listItem}};
    fillAccessibilitySummary(evidence, named, QStringLiteral("Document Viewer"),
                             {QStringLiteral("org.gnome.Evince"), QStringLiteral(" EVINCE ")},
                             {QStringLiteral("org.gnome.Evince"), QStringLiteral("evince")});
    EXPECT_EQ(evidence.subject, QStringLiteral("Chapter three"));
}

TEST(FillAccessibilitySummary, APageDocumentNamedAsTheWindowTitleLeavesTheSubjectToItsHeading) {
    ActivityEvidence evidence;
    evidence.title = QStringLiteral("Harbour  log — Browser");
    const QList<WalkedElement> walked{
        {QStringLiteral("harbour log"), QRectF(0, 80, 800, 500), false, role::documentWeb},
        {QStringLiteral("Crane maintenance schedule"), QRectF(10, 90, 300, 30), false, role::heading},
    };
    fillAccessibilitySummary(evidence, walked, QStringLiteral("Browser"), {});
    EXPECT_EQ(evidence.subject, QStringLiteral("Crane maintenance schedule"));

    // A document named otherwise says something of its own, and comes first in walk order.
    evidence.title = QStringLiteral("Browser");
    fillAccessibilitySummary(evidence, walked, QStringLiteral("Browser"), {});
    EXPECT_EQ(evidence.subject, QStringLiteral("harbour log"));
}

TEST(FillAccessibilitySummary, ASelectedTabIsTheSubjectOnlyWhenItShowsTheDocumentArea) {
    // An editor window of 900 x 600 with a side pane, a document area and a message panel, each a notebook whose
    // selected tab's frame is its page's area.
    const QRectF window(0, 0, 900, 600);
    const WalkedElement sidePane{QStringLiteral("Symbols"), QRectF(0, 80, 150, 360), true, role::pageTab};
    const WalkedElement document{QStringLiteral("tides.py"), QRectF(155, 80, 740, 360), true, role::pageTab};
    const WalkedElement messages{QStringLiteral("Status"), QRectF(0, 450, 900, 110), true, role::pageTab};
    const WalkedElement frameless{QStringLiteral("Scribble"), std::nullopt, true, role::pageTab};
    const WalkedElement item{QStringLiteral("high_tide [2]"), QRectF(0, 100, 150, 20), true, role::tableCell};
    struct Case {
        const char* name;
        QList<WalkedElement> walked;
        std::optional<QRectF> windowFrame;
        QString subject;
    };
    const Case cases[] = {
        {"the side pane's tab comes first", {sidePane, document, messages}, window, QStringLiteral("tides.py")},
        {"a side pane and messages only", {sidePane, messages, frameless}, window, QString()},
        {"a selected item of the side pane is no tab", {sidePane, item}, window, QStringLiteral("high_tide [2]")},
        {"no window frame to measure the page by", {document}, std::nullopt, QString()},
    };
    for (const Case& c : cases) {
        ActivityEvidence evidence;
        evidence.title = QStringLiteral("tides.py - /home/robin - Geany");
        evidence.windowFrame = c.windowFrame;
        evidence.contentFrame = c.windowFrame;
        fillAccessibilitySummary(evidence, c.walked, QStringLiteral("Geany"), {});
        EXPECT_EQ(evidence.subject, c.subject) << c.name;
    }
}

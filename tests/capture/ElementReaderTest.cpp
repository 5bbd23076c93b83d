#include "tavrine/capture/ElementReader.h"
#include "tavrine/capture/AddressField.h"
#include "tavrine/capture/WindowResolution.h"

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
const QString app = QStringLiteral("Editor");
} // namespace

TEST(ElementReader, LabelsAndFocusedDescriptions) {
    FakeAccessibilityBus bus;
    ElementReader reader(bus);
    const auto root = bus.addApplication(1, app);
    // A label is the first non-blank of name, description and a text value.
    FakeAccessibilityBus::Node node;
    node.role = role::entry;
    node.name = QStringLiteral("  \n ");
    node.description = QStringLiteral("Search   the  docs");
    node.text = QStringLiteral("typed");
    EXPECT_EQ(reader.elementLabel(bus.add(root, node)), QStringLiteral("Search the docs"));
    node.description.reset();
    EXPECT_EQ(reader.elementLabel(bus.add(root, node)), QStringLiteral("typed"));
    // A panel's text is not a label of it (a document's text would be the whole page).
    node.role = 39;
    EXPECT_EQ(reader.elementLabel(bus.add(root, node)), QString());

    // A focused description hides passwords and bare placeholders.
    FakeAccessibilityBus::Node field;
    field.role = role::entry;
    field.text = QStringLiteral("Search mail");
    field.attributes = QHash<QString, QString>{{QStringLiteral("placeholder-text"), QStringLiteral("Search  mail")}};
    EXPECT_EQ(reader.readFocusedDescription(bus.add(root, field), app), QString());
    field.text = QStringLiteral("invoice from march");
    EXPECT_EQ(reader.readFocusedDescription(bus.add(root, field), app), QStringLiteral("invoice from march"));
    field.role = role::passwordText;
    EXPECT_EQ(reader.readFocusedDescription(bus.add(root, field), app), QString());
}

TEST(ElementReader, AncestorLabelsGoTwelveLevelsUpSkippingChromeAndPrunedRoles) {
    FakeAccessibilityBus bus;
    ElementReader reader(bus);
    const auto root = bus.addApplication(1, app);
    AccessibleRef parent = root;
    for (int level = 14; level >= 1; --level)
        parent = bus.add(parent, level == 2 ? role::toolBar : 39, QStringLiteral("Section number %1").arg(level));
    parent = bus.add(parent, 39, QStringLiteral("Close"));
    const auto focused = bus.add(parent, role::entry, QStringLiteral("Field"));

    const QStringList labels = reader.ancestorLabels(focused, app);
    // Level 0 is the chrome label "Close", level 2 a tool bar; levels 13 and 14 are out of reach.
    QStringList expected;
    for (int level = 1; level <= 11; ++level) {
        if (level != 2)
            expected.append(QStringLiteral("Section number %1").arg(level));
    }
    EXPECT_EQ(labels, expected);
}

TEST(ElementReader, AncestorLabelsLeaveOutTheWindowTitleTheFrameTheApplicationAndAFolderView) {
    FakeAccessibilityBus bus;
    ElementReader reader(bus);
    const auto root = bus.addApplication(1, QStringLiteral("evince"));
    const auto frame = bus.add(root, role::frame, QStringLiteral("Resource Browser"));
    const auto panel = bus.add(frame, 39, QStringLiteral("Harbour  LOG - Browser"));
    const auto pane = bus.add(panel, role::scrollPane, QStringLiteral("Harbour log"));
    // A folder view is named after its kind of view.
    const auto view = bus.add(pane, role::directoryPane, QStringLiteral("Icon view"));
    const auto focused = bus.add(view, role::entry, QStringLiteral("Field"));
    EXPECT_EQ(reader.ancestorLabels(focused, app, QStringLiteral(" harbour log -  browser")),
              QStringList{QStringLiteral("Harbour log")});
    EXPECT_EQ(reader.ancestorLabels(focused, app),
              (QStringList{QStringLiteral("Harbour log"), QStringLiteral("Harbour LOG - Browser")}));
}

TEST(ElementReader, WindowElementPrefersTheActiveWindowOfTheSameTitle) {
    FakeAccessibilityBus bus;
    ElementReader reader(bus);
    const auto root = bus.addApplication(1, app);
    const auto add = [&](const QString& name, bool active) {
        FakeAccessibilityBus::Node node;
        node.role = role::frame;
        node.name = name;
        if (active)
            node.states->set(state::active);
        return bus.add(root, node);
    };
    const auto otherActive = add(QStringLiteral("Other"), true);
    const auto named = add(QStringLiteral("Report"), false);
    EXPECT_EQ(reader.windowElement(root, QStringLiteral("Report")), named);
    const auto both = add(QStringLiteral("Report"), true);
    EXPECT_EQ(reader.windowElement(root, QStringLiteral("Report")), both);
    EXPECT_EQ(reader.windowElement(root, QStringLiteral("Missing")), otherActive);
    EXPECT_EQ(reader.windowElement(bus.addApplication(2, QStringLiteral("Empty")), QStringLiteral("Report")),
              std::nullopt);
}

TEST(ElementReader, FocusedElementIsFoundOnlyAmongShowingElements) {
    FakeAccessibilityBus bus;
    const auto root = bus.addApplication(1, app);
    const auto window = bus.add(root, role::frame, QStringLiteral("Doc"));
    const auto hidden = bus.add(window, 39);
    bus.edit(hidden, [](auto& node) { node.states = platform::AccessibleStates(); });
    FakeAccessibilityBus::Node focusedNode;
    focusedNode.role = role::entry;
    focusedNode.states->set(state::focused);
    bus.add(hidden, focusedNode);
    const auto panel = bus.add(window, 39);
    const auto focused = bus.add(panel, focusedNode);
    // Each search with a reader of its own, as each capture has: a reader remembers what it read.
    const auto search = [&](int nodeLimit) {
        std::atomic<bool> cancelled{false};
        ElementReader reader(bus);
        return reader.focusedElement(
            window, nodeLimit, 1.0, [] { return 0.0; }, cancelled);
    };
    EXPECT_EQ(search(100), focused);
    EXPECT_EQ(search(2), std::nullopt) << "node limit";

    // A toolkit that calls the current tab focused: the field further on holds the real focus.
    const auto tabs = bus.add(window, role::pageTabList);
    FakeAccessibilityBus::Node tabNode;
    tabNode.role = role::pageTab;
    tabNode.states->set(state::focused);
    const auto tab = bus.add(tabs, tabNode);
    bus.edit(window, [&](auto& node) { node.children.move(node.children.size() - 1, 0); });
    EXPECT_EQ(search(100), focused);
    bus.edit(focused, [](auto& node) { node.states = platform::AccessibleStates().set(state::showing); });
    EXPECT_EQ(search(100), tab);
}

TEST(ElementReader, EachSearchReadsAnElementOnceInAFewBatchesAndNothingOnceCancelled) {
    // A browser's window: tool bars of items that each hold a button (as a GTK window shows them), a tool bar with the
    // address field, the focused field in a panel, and a page that names no address.
    const QString address = QStringLiteral("http://127.0.0.1/tides");
    FakeAccessibilityBus bus;
    FakeAccessibilityBus::Node node;
    node.role = role::frame;
    node.extents = QRect(0, 0, 800, 600);
    const auto window = bus.add(bus.addApplication(1, app), node);
    for (int bar = 0; bar < 3; ++bar) {
        const auto tools = bus.add(window, role::toolBar);
        for (int item = 0; item < 10; ++item)
            bus.add(bus.add(tools, role::panel), role::pushButton, QStringLiteral("Button %1").arg(item));
    }
    node.role = role::entry;
    node.extents = QRect(100, 35, 500, 30);
    node.text = address;
    node.states->set(state::editable);
    bus.add(bus.add(window, role::toolBar), node);
    node.states->set(state::focused);
    node.extents = QRect(100, 300, 500, 30);
    const auto focused = bus.add(bus.add(window, role::panel), node);
    node = FakeAccessibilityBus::Node();
    node.role = role::documentWeb;
    node.extents = QRect(0, 100, 800, 500);
    bus.add(window, node);

    using Uptime = std::function<double()>;
    struct Search {
        const char* name;
        std::function<QString(ElementReader&, const Uptime&, const std::atomic<bool>&)> run;
        QString found;
    };
    const Search searches[] = {
        {"the focus search",
         [&](ElementReader& reader, const Uptime& uptime, const std::atomic<bool>& cancelled) {
             return reader.focusedElement(window, 400, 1.0, uptime, cancelled) == focused ? QStringLiteral("focused")
                                                                                          : QString();
         },
         QStringLiteral("focused")},
        {"the page read",
         [&](ElementReader& reader, const Uptime& uptime, const auto&) { return pageURL(reader, window, uptime); },
         address},
        {"the capture's field search",
         [&](ElementReader& reader, const Uptime& uptime, const auto&) {
             return AddressField(reader).read(window, 1.0, uptime);
         },
         address},
    };
    for (const Search& search : searches) {
        const int before = bus.waits();
        const QHash<AccessibleRef, int> readBefore = bus.stateReads();
        ElementReader whole(bus);
        EXPECT_EQ(search.run(
                      whole, [] { return 0.0; }, std::atomic<bool>(false)),
                  search.found)
            << search.name;
        const int waits = bus.waits() - before;
        // One element's read after another, each search would wait for some 150 to 300 answers.
        EXPECT_LT(waits, 30) << search.name;
        const QHash<AccessibleRef, int> readAfter = bus.stateReads();
        for (auto it = readAfter.begin(); it != readAfter.end(); ++it)
            EXPECT_LE(it.value() - readBefore.value(it.key()), 1) << search.name;
        // Cancelled while it waits for each of its answers in turn (from another thread, as the session cancels a
        // capture): nothing more goes out, and it ends with nothing found.
        for (int cancelAt = 1; cancelAt <= waits; ++cancelAt) {
            std::atomic<bool> cancelled{false};
            ElementReader reader(bus, cancelled);
            const int start = bus.waits();
            int waitsAtCancel = -1;
            const auto uptime = [&] {
                if (waitsAtCancel < 0 && bus.waits() - start >= cancelAt) {
                    cancelled = true;
                    waitsAtCancel = bus.waits();
                }
                return 0.0;
            };
            const QString found = search.run(reader, uptime, cancelled);
            // A cancellation after the last answer came is none.
            if (waitsAtCancel < 0)
                continue;
            EXPECT_EQ(found, QString()) << search.name << " " << cancelAt;
            EXPECT_EQ(bus.waits(), waitsAtCancel) << search.name << " " << cancelAt;
        }
    }
}

TEST(ElementReader, TheAddressFieldIsAnEditableWholeWebAddressInTheBarsAboveThePage) {
    const QRect inBar(100, 35, 500, 30);
    const QString address = QStringLiteral("http://127.0.0.1/tides");
    struct Case {
        const char* name;
        quint32 role;
        QRect frame;
        bool read = false;
        bool editable = true;
        bool showing = true;
        // The field lies inside the page, or beside it; the page starts at `pageTop`.
        bool insidePage = false;
        int pageTop = 100;
        // The page's own address, read before the field is looked for.
        const char* pageAddress = nullptr;
        // What the field holds, when not the address with blanks around it.
        const char* text = nullptr;
    };
    const Case cases[] = {
        {"the tool bar's entry", role::entry, inBar, true},
        {"a combo box's editable text", role::text, inBar, true},
        {"a read-only text", role::text, inBar, false, false},
        {"a label", role::label, inBar},
        {"a password field", role::passwordText, inBar},
        {"hidden", role::entry, inBar, false, true, false},
        {"just inside the top quarter", role::entry, QRect(0, 149, 200, 30), true, true, true, false, 500},
        {"a side pane's field below it", role::entry, QRect(0, 151, 200, 30), false, true, true, false, 500},
        {"the page's own form at its top", role::entry, QRect(100, 110, 500, 30), false, true, true, true},
        {"a find bar over the page", role::entry, QRect(500, 70, 200, 30), false, true, true, false, 60},
        {"outside the window", role::entry, QRect(100, -60, 500, 30)},
        {"a page with an address of its own, a file", role::entry, inBar, false, true, true, false, 100,
         "file:///home/ada/tides.html"},
        // Shown cut, as a toolkit shows what does not fit: its start and an ellipsis, or its middle left out.
        {"cut with an ellipsis", role::entry, inBar, false, true, true, false, 100, nullptr,
         "http://127.0.0.1/tides/ne\u2026"},
        {"cut with three dots", role::entry, inBar, false, true, true, false, 100, nullptr, "http://127.0.0.1/tid..."},
        {"cut in its middle", role::entry, inBar, false, true, true, false, 100, nullptr,
         "http://127.0.0.1/\u2026/tides"},
        {"cut with a two-dot leader", role::entry, inBar, false, true, true, false, 100, nullptr,
         "http://127.0.0.1/tid\u2025"},
    };
    for (const Case& c : cases) {
        FakeAccessibilityBus bus;
        ElementReader reader(bus);
        const auto add = [&](const AccessibleRef& parent, quint32 elementRole, const QRect& frame,
                             const QString& text = {}, bool showing = true, bool editable = false) {
            FakeAccessibilityBus::Node node;
            node.role = elementRole;
            node.extents = frame;
            node.text = text;
            node.states = platform::AccessibleStates();
            if (showing)
                node.states->set(state::showing);
            if (editable)
                node.states->set(state::editable);
            return bus.add(parent, node);
        };
        const auto window = add(bus.addApplication(1, app), role::frame, QRect(0, 0, 800, 600));
        const auto toolBar = add(window, role::toolBar, QRect(0, 30, 800, 40));
        FakeAccessibilityBus::Node pageNode;
        pageNode.role = role::documentWeb;
        pageNode.extents = QRect(0, c.pageTop, 800, 600 - c.pageTop);
        pageNode.states = platform::AccessibleStates();
        pageNode.states->set(state::showing);
        if (c.pageAddress)
            pageNode.documentAttributes = QHash<QString, QString>{{"DocURL", c.pageAddress}};
        const auto page = bus.add(window, pageNode);
        // As the walk reads it first.
        EXPECT_EQ(reader.elementURL(page), QString()) << c.name;
        // Words in a search field before it never hide the address.
        add(toolBar, role::entry, inBar, QStringLiteral("harbour tides"), true, true);
        add(c.insidePage ? page : toolBar, c.role, c.frame,
            c.text ? QString::fromUtf8(c.text) : QStringLiteral("  %1\n").arg(address), c.showing, c.editable);
        EXPECT_EQ(AddressField(reader).read(window, 1.0, [] { return 0.0; }), c.read ? address : QString()) << c.name;
    }
}

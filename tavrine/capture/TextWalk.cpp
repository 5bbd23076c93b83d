#include "tavrine/capture/TextWalk.h"

#include "tavrine/capture/ContentFrame.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"

#include <cmath>

namespace tavrine::capture {

namespace fact = platform::fact;
namespace role = platform::role;
namespace state = platform::state;

namespace {

// Toolkits without a header-bar role (GTK 3) show it as a panel just below the frame.
constexpr int headerBarDepth = 2;
// A bar is a strip: never more than this share of the window's height (a panel holding the document is none).
constexpr double barHeightShare = 0.2;

// How far below the window's top edge a header bar may start: a window that draws its own frame has its shadow
// there.
constexpr double headerBarReach = 0.1;

bool isBar(quint32 value, int depth) {
    return value == role::menuBar || value == role::toolBar || value == role::statusBar ||
           (value == role::panel && depth <= headerBarDepth);
}

// Every bar is a strip across part of the window; a panel is a header bar only along the window's top.
bool isBarShaped(quint32 value, const QRectF& frame, const std::optional<QRectF>& window) {
    if (!window || window->height() <= 0 || !frame.intersects(*window))
        return false;
    if (frame.height() > window->height() * barHeightShare)
        return false;
    return value != role::panel || std::abs(frame.top() - window->top()) <= window->height() * headerBarReach;
}

// How many of a page tab's children are read for the area of its page (a toolkit's tab holds one page).
constexpr int pageChildren = 4;

// The area a selected page tab shows: its label's frame with its pages' frames.
std::optional<QRectF> pageArea(ElementReader& reader, std::optional<QRectF> area,
                               const QList<AccessibleRef>& children) {
    for (qsizetype i = 0; i < children.size() && i < pageChildren; ++i) {
        if (const auto page = reader.elementFrame(children.at(i)))
            area = area ? area->united(*page) : *page;
    }
    return area;
}

// The frame of the document of the application's own that holds a web document (an element below the window
// that has document attributes, the nearest one), where that is no page itself: a page's frame holds an embedded
// page, and the page stands as a candidate of its own.
std::optional<QRectF> holdingDocumentFrame(ElementReader& reader, const WalkState& walk) {
    // The first entry is the window, whose document is the application's whole window.
    for (qsizetype i = walk.path.size() - 1; i >= 1; --i) {
        const auto& [ancestor, ancestorRole] = walk.path.at(i);
        if (ancestorRole == role::documentWeb)
            return std::nullopt;
        if (const auto attributes = reader.documentAttributes(ancestor); attributes && !attributes->isEmpty())
            return reader.elementFrame(ancestor);
    }
    return std::nullopt;
}

// What the walk reads of an element it takes in, besides its states.
constexpr quint32 takenFacts = fact::role | fact::extents | fact::name | fact::description | fact::childCount;

// Reads at once what the walk will read of the elements below one when it gets to each: their states, what it reads
// of those it takes in, and the children of those it goes into. The walk then reads them from the reader, in its own
// order and within its own limits: what it never gets to is read for nothing, what it gets to is read as it would be.
void readBeforeWalking(ElementReader& reader, const WalkState& walk, const QList<AccessibleRef>& children) {
    const ElementReader::Lookahead walked{
        [](const std::optional<platform::AccessibleStates>& states) { return !states || states->has(state::showing); },
        takenFacts,
        [&reader](const AccessibleRef& element) {
            const auto elementRole = reader.role(element);
            const auto states = reader.states(element);
            const bool selected = states && states->has(state::selected);
            return !elementRole || !ElementReader::isPrunedRole(*elementRole) ||
                   (*elementRole == role::pageTab && selected);
        }};
    // Each child is taken into the walk before its own children, so those get fewer than this.
    const int room = WalkLimits::maxNodes - walk.nodeCount;
    reader.readTreeAhead(children, room, room - 1, walked, walk.visited);
}

} // namespace

void collectVisibleText(ElementReader& reader, const AccessibleRef& element, int depth, WalkState& walk,
                        ActivityEvidence& evidence, double deadline, const std::function<double()>& uptime,
                        const std::atomic<bool>& cancelled) {
    if (cancelled.load() || depth > WalkLimits::maxDepth)
        return;
    if (walk.nodeCount >= WalkLimits::maxNodes)
        return;
    if (!(uptime() < deadline))
        return;
    if (walk.visited.contains(element))
        return;
    if (depth == 0) {
        reader.startWalk();
        reader.readAhead({element}, fact::states | takenFacts);
    }
    walk.visited.insert(element);
    walk.nodeCount += 1;

    // Hidden is what does not show; states that cannot be read hide nothing.
    const auto states = reader.states(element);
    if (states && !states->has(state::showing))
        return;
    const auto elementRole = reader.role(element);
    const quint32 roleValue = elementRole.value_or(0);
    const bool selected = states && states->has(state::selected);
    if (isBar(roleValue, depth)) {
        if (const auto frame = reader.elementFrame(element);
            frame && isBarShaped(roleValue, *frame, evidence.windowFrame))
            walk.barFrames.append(*frame);
    }
    // The selected page tab holds the page on show (a GTK notebook keeps the document there); the others hold
    // what is not shown.
    if (elementRole && ElementReader::isPrunedRole(roleValue) && !(roleValue == role::pageTab && selected))
        return;

    const auto frame = reader.elementFrame(element);
    const QString label = reader.elementLabel(element, elementRole);

    if (roleValue == role::documentWeb) {
        walk.foundWebArea = true;
        if (const auto holder = holdingDocumentFrame(reader, walk))
            walk.webAreaFrames.append(*holder);
        else if (frame)
            walk.webAreaFrames.append(*frame);
        const QString url = reader.elementURL(element);
        if (evidence.url.isEmpty() && !url.isEmpty())
            evidence.url = url;
        if (!label.isEmpty())
            walk.walked.append(WalkedElement{label, frame, selected, roleValue});
    } else if (roleValue == role::scrollPane && frame) {
        walk.scrollAreaFrames.append(*frame);
    }
    const int budget = WalkLimits::maxNodes - walk.nodeCount;
    const QList<AccessibleRef> children = budget > 0 ? reader.visibleChildren(element, budget) : QList<AccessibleRef>();
    readBeforeWalking(reader, walk, children);
    if ((roleValue == role::heading || selected) && !label.isEmpty()) {
        const auto area = roleValue == role::pageTab ? pageArea(reader, frame, children) : frame;
        walk.walked.append(WalkedElement{label, area, selected, roleValue});
    }

    walk.path.append({element, roleValue});
    for (const AccessibleRef& child : children)
        collectVisibleText(reader, child, depth + 1, walk, evidence, deadline, uptime, cancelled);
    walk.path.removeLast();
}

void fillAccessibilitySummary(ActivityEvidence& evidence, const QList<WalkedElement>& walked, const QString& appName,
                              const QStringList& ancestorLabels, const QStringList& applicationNames) {
    QSet<QString> names;
    for (const QString& name : applicationNames) {
        if (const QString folded = text::collapseWhitespace(name).toCaseFolded(); !folded.isEmpty())
            names.insert(folded);
    }
    const auto namesTheApplication = [&](const QString& label) {
        return names.contains(text::collapseWhitespace(label).toCaseFolded());
    };
    const std::optional<QRectF> content = evidence.contentFrame;
    const auto passes = [&](const WalkedElement& record) {
        if (!content)
            return true;
        return record.frame && record.frame->intersects(*content);
    };
    // A browser names its page's document after the page title, which is also in the window title: as the
    // subject it would repeat the title and hide the page's headings behind it.
    const QString title = text::collapseWhitespace(evidence.title).toLower();
    const auto repeatsTitle = [&](const WalkedElement& record) {
        return record.role == role::documentWeb && title.contains(record.text.toLower());
    };
    QStringList headings;
    QStringList selectedTexts;
    for (const WalkedElement& record : walked) {
        if ((record.role == role::heading || record.role == role::documentWeb) && passes(record) &&
            !repeatsTitle(record) && !namesTheApplication(record.text))
            headings.append(record.text);
    }
    // A side pane's or a message panel's selected tab names that pane, not the work: a tab counts when its page
    // would do as the window's content area.
    const auto showsTheDocument = [&](const WalkedElement& record) {
        if (record.role != role::pageTab)
            return true;
        return record.frame && evidence.windowFrame &&
               acceptContentFrame(*record.frame, *evidence.windowFrame) == *record.frame;
    };
    for (const WalkedElement& record : walked) {
        if (record.selected && passes(record) && showsTheDocument(record) && !namesTheApplication(record.text))
            selectedTexts.append(record.text);
    }
    QStringList labels = ancestorLabels;
    labels.removeIf(namesTheApplication);
    const QString focused = namesTheApplication(evidence.focusedDescription) ? QString() : evidence.focusedDescription;
    evidence.subject = chooseSubject(appName, focused, labels, headings, selectedTexts);
    writeSummary(evidence, appName);
}

void writeSummary(ActivityEvidence& evidence, const QString& appName) {
    const QString summary =
        formatEvidenceText(appName, evidence.title, evidence.url, evidence.subject, evidence.focusedDescription);
    evidence.header = summary;
    evidence.text = summary;
    evidence.accessibilityText = summary;
    evidence.accessibilityCharacters = text::graphemeCount(summary);
    evidence.ocrCharacters = 0;
}

} // namespace tavrine::capture

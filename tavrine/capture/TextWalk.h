#pragma once

#include "tavrine/capture/ElementReader.h"
#include "tavrine/model/ActivityEvidence.h"

#include <QList>
#include <QRectF>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <utility>

namespace tavrine::capture {

// One record of the walk: a heading, a selected element or a web document, with its label. A page tab's frame is
// the area of the page it shows, its label included.
struct WalkedElement {
    QString text;
    std::optional<QRectF> frame;
    bool selected = false;
    quint32 role = 0;
};

// The walk's accumulators, emptied before each attempt.
struct WalkState {
    int nodeCount = 0;
    QSet<AccessibleRef> visited;
    bool foundWebArea = false;
    QList<QRectF> webAreaFrames;
    QList<WalkedElement> walked;
    QList<QRectF> scrollAreaFrames;
    // Menu bars, tool bars, status bars and header bars: chrome whose text would crowd out the work's.
    QList<QRectF> barFrames;
    // The elements above the one being walked, from the window down, with their roles.
    QList<std::pair<AccessibleRef, quint32>> path;

    void reset() { *this = WalkState(); }
};

// The bounds of one walk.
struct WalkLimits {
    static constexpr int maxDepth = 63;
    static constexpr int maxNodes = 800;
};

// A bounded depth-first walk of the window's tree that records headings, selected elements and web documents
// (with their frames), the frames of web documents and scroll panes, and the first document address (into the
// evidence's url), and the frames of bars. A web document shown inside a document of the application's own (a mail
// client's message view holds the message's body as a page below its header) offers that document's frame as its
// area. Stops at the depth limit, the node limit, the deadline (seconds of `uptime`) or a cancellation; hidden
// subtrees, password fields, page tabs other than the selected one, tool bars and menu bars are cut off.
void collectVisibleText(ElementReader& reader, const AccessibleRef& element, int depth, WalkState& state,
                        ActivityEvidence& evidence, double deadline, const std::function<double()>& uptime,
                        const std::atomic<bool>& cancelled);

// The evidence's header, text and accessibility text from the application's name and the evidence's title,
// address, subject and focused text.
void writeSummary(ActivityEvidence& evidence, const QString& appName);

// From the walk's records and the focused element: the evidence's subject, header, text and accessibility text.
// With a content frame, only records whose frames meet it count. A label that is one of `applicationNames` (the
// process name, the desktop id, the application's name: collapsed, ignoring case) is never the subject. A selected
// page tab counts only when the page it shows would do as the window's content area (that of the document, not
// of a side pane or a panel of messages).
void fillAccessibilitySummary(ActivityEvidence& evidence, const QList<WalkedElement>& walked, const QString& appName,
                              const QStringList& ancestorLabels, const QStringList& applicationNames = {});

} // namespace tavrine::capture

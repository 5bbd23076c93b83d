#pragma once

#include "tavrine/capture/ElementReader.h"
#include "tavrine/platform/Workspace.h"

#include <QString>

#include <optional>

namespace tavrine::capture {

// How well a tab's label matches a remembered window title (whitespace collapsed): 0 for no match, else the
// number of characters matched. Labels under 4 characters never match. A label inside the title scores its
// length; else the leading " - " components the two share, when the title has at most 2 more; else, for a title
// cut with "…", its rest (from one of its first 25 characters, at least 8 characters) that begins the label.
int tabTitleScore(const QString& label, const QString& title);

// What bringing a window back did: the status text for the log line, and the X11 window it raised.
struct TabSearchResult {
    QString status;
    std::optional<platform::XWindowId> window;
};

// Raises the process's window titled exactly `title`; failing that, presses the page tab whose label matches
// the title best (a page tab, or a radio button inside a page tab list: never any other control, so a "Send" or
// "Delete" button whose label happens to occur in the title is never pressed) and raises its window. Searches
// breadth-first, at most 3000 elements over all windows, children read down to depth 29, web documents cut off.
// Runs on a worker thread (the tab search reads the accessibility bus).
TabSearchResult pressMatchingTab(ElementReader& reader, platform::Workspace& workspace, qint32 pid,
                                 const QString& title);

// The action a press runs: the first named press, click, activate, switch or jump (any case); none when the
// element has none.
std::optional<int> pressActionIndex(const QStringList& actionNames);

} // namespace tavrine::capture

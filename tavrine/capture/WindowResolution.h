#pragma once

#include "tavrine/capture/ElementReader.h"
#include "tavrine/platform/Workspace.h"

#include <QRectF>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

namespace tavrine::capture {

// The focused window of a process as X11 tells it: its title, its window number and its frame.
struct ResolvedWindow {
    // None only when the process has no focused window.
    std::optional<QString> title;
    std::optional<quint32> windowID;
    std::optional<QRectF> frame;
};

// The focused window is the active window when the process owns it, else the process's frontmost window on
// screen; its number is its own X11 window id. X11 only: cheap enough for the main thread.
ResolvedWindow resolveWindowIdentity(platform::Workspace& workspace, qint32 pid);

// The page address shown in `window`: its own document's web address (ElementReader::elementURL), else the first
// web address of a web document found breadth-first (at most 300 elements, children read down to depth 29,
// 0.3 seconds of `uptime`), else the address field's (AddressField); "" when none or once the reader is cancelled.
// Reads through `reader`, a level of the search at a time in batches, each element once.
QString pageURL(ElementReader& reader, const AccessibleRef& window, const std::function<double()>& uptime);

} // namespace tavrine::capture

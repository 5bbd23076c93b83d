#pragma once

#include "tavrine/platform/x11/X11Connection.h"

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

namespace tavrine::platform {

// A running application as the capture sees it.
struct ApplicationInfo {
    qint32 pid = 0;
    // The desktop-file id, else the window class; none when the process shows neither.
    std::optional<QString> bundleIdentifier;
    // The desktop file's name, else the window class; none when unknown.
    std::optional<QString> name;

    friend bool operator==(const ApplicationInfo&, const ApplicationInfo&) = default;
};

// One managed top-level window.
struct WindowInfo {
    XWindowId id = 0;
    qint32 pid = 0;
    QString title;
    // The client area in root coordinates (a logical point is one pixel on X11).
    QRect frame;
    // Mapped and showing (not minimised, not on another desktop).
    bool onScreen = false;
    // The window manager draws the window's title bar outside its client area (a top frame extent above 0).
    // False for a window that draws its own (client-side decorations) and where no frame extents are known.
    bool managerTitleBar = false;

    friend bool operator==(const WindowInfo&, const WindowInfo&) = default;
};

// The desktop's applications and windows: what is in front, which windows a process has, and activation.
// The Linux implementation reads X11 (X11Workspace); tests use a fake. Callable from any thread.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Tavrine's own process and application id.
    virtual qint32 ownPid() const = 0;
    virtual std::optional<QString> ownBundleIdentifier() const = 0;

    // The application that owns the active window; none when no window is active or its owner is unknown.
    virtual std::optional<ApplicationInfo> frontmostApplication() = 0;
    // A running process with its identity; none when the process is gone.
    virtual std::optional<ApplicationInfo> runningApplication(qint32 pid) = 0;
    // The application a window shows (one process can show several); none when the window or its process is
    // gone.
    virtual std::optional<ApplicationInfo> windowApplication(XWindowId id) {
        const auto shown = window(id);
        return shown ? runningApplication(shown->pid) : std::nullopt;
    }
    // The window manager's active window.
    virtual std::optional<XWindowId> activeWindow() = 0;
    // The process's managed normal windows, front to back, minimised ones included (onScreen false).
    virtual QList<WindowInfo> windows(qint32 pid) = 0;
    // One window; none when it is gone.
    virtual std::optional<WindowInfo> window(XWindowId id) = 0;
    // Asks the window manager to activate the window (un-minimising it); 0 when the request was sent, else the
    // X error code.
    virtual int activate(XWindowId id) = 0;
};

} // namespace tavrine::platform

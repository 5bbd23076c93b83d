#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>

#include <functional>
#include <mutex>
#include <optional>

struct _XDisplay;

namespace tavrine::platform {

// An X11 window id (an XID always fits in 32 bits).
using XWindowId = quint32;

// The two parts of WM_CLASS.
struct WindowClass {
    QString instance;
    QString className;
};

// One connection to the X server with its atom cache and the EWMH/ICCCM reads and requests every desktop
// facility of Tavrine needs. Every call takes the connection's lock, so one connection serves the main thread
// and the capture threads alike. X errors never end the process: they are trapped per call and reported as
// absent values, or as the error code where a caller needs it. A read is one round trip (about 70 µs).
class X11Connection {
public:
    // Opens `displayName`, or $DISPLAY when empty; isOpen() tells whether that worked.
    explicit X11Connection(const QByteArray& displayName = {});
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    // The process's shared connection for reads and requests; null when there is no X display. Opened on first
    // use, on the display `openShared` named or else on $DISPLAY.
    static X11Connection* shared();
    // Opens the shared connection on `displayName` (empty: $DISPLAY), the display Qt draws on, before anything
    // uses it: Tavrine reads the screen that shows its windows. Null when that display cannot be opened, or when
    // the shared connection is open on another display already.
    static X11Connection* openShared(const QByteArray& displayName);
    // The display's name as Xlib gives it.
    QByteArray displayName() const;

    bool isOpen() const { return m_display != nullptr; }
    XWindowId root() const { return m_root; }
    // The root window's size (the screen in root coordinates).
    QRect screenRect();

    unsigned long atom(const char* name);

    // _NET_ACTIVE_WINDOW of the root; none when unset or 0.
    std::optional<XWindowId> activeWindow();
    // _NET_CURRENT_DESKTOP of the root.
    std::optional<quint32> currentDesktop();
    // _NET_FRAME_EXTENTS of a client: the borders and title bar the window manager draws around it; none when
    // the window manager set none.
    std::optional<QMargins> frameExtents(XWindowId window);
    // _NET_CLIENT_LIST_STACKING (bottom to top), else _NET_CLIENT_LIST.
    QList<XWindowId> clientListStacking();
    // The owning process: the X-Resource client pid (the real one under a sandbox), else _NET_WM_PID.
    std::optional<qint32> windowPid(XWindowId window);
    // _NET_WM_NAME, else WM_NAME; empty when neither reads.
    QString windowTitle(XWindowId window);
    std::optional<WindowClass> windowClass(XWindowId window);
    // A text property (UTF8_STRING or STRING); none when missing.
    std::optional<QString> textProperty(XWindowId window, const char* name);
    // The window's area in root coordinates; none when the window is gone.
    std::optional<QRect> rootGeometry(XWindowId window);
    // The area and whether it is viewable, in two round trips instead of three.
    struct Placement {
        QRect rect;
        bool viewable = false;
    };
    std::optional<Placement> placement(XWindowId window);
    // Mapped and all its ancestors mapped.
    bool isViewable(XWindowId window);
    // ICCCM WM_STATE is IconicState (minimised).
    bool isIconic(XWindowId window);
    // A window a user works in: no _NET_WM_WINDOW_TYPE, or normal or dialog.
    bool isNormalWindow(XWindowId window);
    // The ancestor that is a child of the root (the window manager's frame, or the window itself).
    std::optional<XWindowId> topLevelAncestor(XWindowId window);
    // The window `window` is a dialog of (WM_TRANSIENT_FOR); none when it names none.
    std::optional<XWindowId> transientFor(XWindowId window);
    // Whether a compositing manager owns _NET_WM_CM_S<screen>, asked of the server now. The application follows
    // the compositor through X11Compositing; this read is for checking it from outside.
    bool compositorRunning();
    // Asks the window manager to activate `window` (_NET_ACTIVE_WINDOW, source 2: window managers de-iconify
    // on it), mapping it first when it is iconic. Answers 0 when the request was sent, else the X error code.
    int activate(XWindowId window);

    // Runs `body` with the raw display under the lock, with X errors trapped; answers the first X error code
    // of the section (0 when none). For the extensions that other platform classes use (screenshots).
    int withDisplay(const std::function<void(_XDisplay*)>& body);
    // Inside withDisplay: waits for the server and answers (and clears) the section's X error so far.
    static int takeError(_XDisplay* display);

private:
    std::optional<QList<unsigned long>> cardinalsLocked(XWindowId window, unsigned long property, unsigned long type);
    std::optional<QString> textLocked(XWindowId window, unsigned long property);
    unsigned long atomLocked(const char* name);

    _XDisplay* m_display = nullptr;
    XWindowId m_root = 0;
    int m_screen = 0;
    std::recursive_mutex m_mutex;
    // Only the names this program asks for: never the names of atoms that come from other clients.
    QHash<QByteArray, unsigned long> m_atoms;
    bool m_hasXRes = false;
};

} // namespace tavrine::platform

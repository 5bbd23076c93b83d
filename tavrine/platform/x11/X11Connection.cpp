#include "tavrine/platform/x11/X11Connection.h"

#include "tavrine/core/Log.h"

#include <QCoreApplication>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace tavrine::platform {

namespace {

// Xlib's error handler is process-wide. Ours records the first error of the section that the calling thread is
// running on one of our connections, and hands errors of other connections (Qt's) to the handler it replaced.
thread_local Display* t_trapDisplay = nullptr;
thread_local int t_trapError = 0;
std::atomic<XErrorHandler> g_previousHandler{nullptr};
std::mutex g_handlerMutex;

int trapHandler(Display* display, XErrorEvent* event) {
    if (display == t_trapDisplay) {
        if (t_trapError == 0)
            t_trapError = event->error_code;
        return 0;
    }
    const XErrorHandler previous = g_previousHandler.load();
    if (previous != nullptr)
        return previous(display, event);
    return 0;
}

// Xlib's handler of a broken connection is process-wide as well, and Xlib (or Qt's handler) ends the process on
// whichever thread finds it broken. Two threads doing so at once tear the process down twice (abort), and an exit
// on any thread but the main one stores no running session. So there is one exit, on the main thread: a connection
// of ours goes dead (every later call reports nothing), and Qt's found broken on another thread (its render
// thread swapping a frame) has the main thread end the process, as Qt does when it finds it there.
std::atomic<XIOErrorHandler> g_previousIOHandler{nullptr};
// A multiset: a display closed on one thread may come back at the same address from another thread's open.
std::unordered_multiset<Display*> g_ownDisplays;

// Ours, found broken: Xlib returns from each later call on the thread that found it, but waits for ever in a call
// on another thread, so no call reaches Xlib any more.
std::unordered_set<Display*> g_lostDisplays;

bool isLost(Display* display) {
    std::lock_guard lock(g_handlerMutex);
    return g_lostDisplays.count(display) > 0;
}

void staysDead(Display*, void*) {}

int lostDisplayHandler(Display* display) {
    bool own = false;
    {
        std::lock_guard lock(g_handlerMutex);
        own = g_ownDisplays.count(display) > 0;
        if (own)
            g_lostDisplays.insert(display);
    }
    if (own) {
        log::error(logSession(), QStringLiteral("The X connection of Tavrine's reads broke; they report nothing now"));
        return 0;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        const XIOErrorHandler previous = g_previousIOHandler.load();
        return previous ? previous(display) : 0;
    }
    QMetaObject::invokeMethod(
        app, [] { std::exit(1); }, Qt::QueuedConnection);
    // This thread waits for the main thread's exit; a main thread that itself waits on this one never comes to it,
    // and the running session is then kept by its last write, as after a kill.
    std::this_thread::sleep_for(std::chrono::seconds(30));
    std::_Exit(1);
}

void installHandler() {
    std::lock_guard lock(g_handlerMutex);
    const XErrorHandler previous = XSetErrorHandler(trapHandler);
    if (previous != trapHandler && previous != nullptr)
        g_previousHandler.store(previous);
    // Again at each call: Qt sets its own when it connects, which may come after our first connection.
    const XIOErrorHandler previousIO = XSetIOErrorHandler(lostDisplayHandler);
    if (previousIO != lostDisplayHandler && previousIO != nullptr)
        g_previousIOHandler.store(previousIO);
}

// Traps the errors of one locked section. A reply-bearing request reports its error before the reply returns;
// sections that send requests without a reply call finish(), which waits for the server so that their errors are
// counted here and never reach another section.
class Trap {
public:
    explicit Trap(Display* display) : m_display(display), m_outerDisplay(t_trapDisplay), m_outerError(t_trapError) {
        installHandler();
        t_trapDisplay = display;
        t_trapError = 0;
    }
    ~Trap() {
        t_trapDisplay = m_outerDisplay;
        t_trapError = m_outerError;
    }
    int finish() {
        XSync(m_display, False);
        return t_trapError;
    }

private:
    Display* m_display;
    Display* m_outerDisplay;
    int m_outerError;
};

struct XFreeDeleter {
    void operator()(void* data) const {
        if (data)
            XFree(data);
    }
};

// The preamble of every request: `none` without a display, else `body` under the connection's lock with the
// section's errors trapped.
template <typename Result, typename Mutex, typename Body>
Result section(Display* display, Mutex& mutex, Result none, Body&& body) {
    if (!display || isLost(display))
        return none;
    std::lock_guard lock(mutex);
    Trap trap(display);
    return body(trap);
}

template <typename Mutex, typename Body> void section(Display* display, Mutex& mutex, Body&& body) {
    if (!display || isLost(display))
        return;
    std::lock_guard lock(mutex);
    Trap trap(display);
    body(trap);
}

} // namespace

X11Connection::X11Connection(const QByteArray& displayName) {
    m_display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!m_display)
        return;
    {
        std::lock_guard lock(g_handlerMutex);
        g_ownDisplays.insert(m_display);
    }
    XSetIOErrorExitHandler(m_display, staysDead, nullptr);
    m_screen = DefaultScreen(m_display);
    m_root = XWindowId(RootWindow(m_display, m_screen));
    Trap trap(m_display);
    int major = 1;
    int minor = 2;
    int event = 0;
    int error = 0;
    m_hasXRes = XResQueryExtension(m_display, &event, &error) && XResQueryVersion(m_display, &major, &minor) &&
                (major > 1 || (major == 1 && minor >= 2));
}

X11Connection::~X11Connection() {
    if (!m_display)
        return;
    if (isLost(m_display))
        ::close(ConnectionNumber(m_display)); // the rest of Xlib's connection is left as it stands
    else
        XCloseDisplay(m_display);
    std::lock_guard lock(g_handlerMutex);
    g_ownDisplays.erase(g_ownDisplays.find(m_display));
    g_lostDisplays.erase(m_display);
}

namespace {

// The shared connection: opened once, on the first ask; a process without a display gets none and every facility
// reports nothing.
struct SharedConnection {
    std::mutex mutex;
    bool tried = false;
    X11Connection* connection = nullptr;

    X11Connection* open(const QByteArray& displayName) {
        std::lock_guard lock(mutex);
        if (tried)
            return connection;
        tried = true;
        auto* opened = new X11Connection(displayName);
        if (opened->isOpen())
            connection = opened;
        else
            delete opened;
        return connection;
    }
};

SharedConnection& sharedConnection() {
    static SharedConnection* shared = new SharedConnection;
    return *shared;
}

} // namespace

X11Connection* X11Connection::shared() {
    return sharedConnection().open({});
}

X11Connection* X11Connection::openShared(const QByteArray& displayName) {
    X11Connection* connection = sharedConnection().open(displayName);
    if (!connection)
        return nullptr;
    // Opened before on $DISPLAY: the same display only when that is the one named.
    const QByteArray wanted = displayName.isEmpty() ? qgetenv("DISPLAY") : displayName;
    return connection->displayName() == wanted ? connection : nullptr;
}

QByteArray X11Connection::displayName() const {
    return m_display ? QByteArray(DisplayString(m_display)) : QByteArray();
}

QRect X11Connection::screenRect() {
    return section(m_display, m_mutex, QRect(), [&](Trap&) -> QRect {
        Window rootReturn = 0;
        int x = 0;
        int y = 0;
        unsigned width = 0;
        unsigned height = 0;
        unsigned border = 0;
        unsigned depth = 0;
        if (!XGetGeometry(m_display, m_root, &rootReturn, &x, &y, &width, &height, &border, &depth))
            return {};
        return QRect(0, 0, int(width), int(height));
    });
}

unsigned long X11Connection::atomLocked(const char* name) {
    const QByteArray key(name);
    if (const auto found = m_atoms.constFind(key); found != m_atoms.constEnd())
        return found.value();
    const Atom value = XInternAtom(m_display, name, False);
    m_atoms.insert(key, value);
    return value;
}

unsigned long X11Connection::atom(const char* name) {
    return section(m_display, m_mutex, 0, [&](Trap&) -> unsigned long { return atomLocked(name); });
}

std::optional<QList<unsigned long>> X11Connection::cardinalsLocked(XWindowId window, unsigned long property,
                                                                   unsigned long type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* raw = nullptr;
    const int status = XGetWindowProperty(m_display, window, property, 0, 4096, False, type, &actualType, &format,
                                          &count, &after, &raw);
    std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    if (status != Success || actualType != type || format != 32 || !data)
        return std::nullopt;
    // Format-32 items come back as longs, whatever the size of a long.
    const auto* items = reinterpret_cast<const unsigned long*>(data.get());
    QList<unsigned long> values;
    values.reserve(qsizetype(count));
    for (unsigned long i = 0; i < count; ++i)
        values.append(items[i] & 0xffffffffUL);
    return values;
}

std::optional<QString> X11Connection::textLocked(XWindowId window, unsigned long property) {
    XTextProperty text{};
    if (!XGetTextProperty(m_display, window, &text, property) || !text.value)
        return std::nullopt;
    std::unique_ptr<unsigned char, XFreeDeleter> owned(text.value);
    if (text.encoding == atomLocked("UTF8_STRING") || text.encoding == XA_STRING) {
        if (text.format != 8)
            return std::nullopt;
        const auto* bytes = reinterpret_cast<const char*>(text.value);
        const qsizetype length = qsizetype(strnlen(bytes, text.nitems));
        return text.encoding == XA_STRING ? QString::fromLatin1(bytes, length) : QString::fromUtf8(bytes, length);
    }
    // Compound text and the like: let Xlib convert.
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(m_display, &text, &list, &count) < Success || !list)
        return std::nullopt;
    QString result = count > 0 ? QString::fromUtf8(list[0]) : QString();
    XFreeStringList(list);
    return result;
}

std::optional<XWindowId> X11Connection::activeWindow() {
    return section(m_display, m_mutex, std::optional<XWindowId>(), [&](Trap&) -> std::optional<XWindowId> {
        const auto values = cardinalsLocked(m_root, atomLocked("_NET_ACTIVE_WINDOW"), XA_WINDOW);
        if (!values || values->isEmpty() || values->first() == 0)
            return std::nullopt;
        return XWindowId(values->first());
    });
}

std::optional<quint32> X11Connection::currentDesktop() {
    return section(m_display, m_mutex, std::optional<quint32>(), [&](Trap&) -> std::optional<quint32> {
        const auto values = cardinalsLocked(m_root, atomLocked("_NET_CURRENT_DESKTOP"), XA_CARDINAL);
        if (!values || values->isEmpty())
            return std::nullopt;
        return quint32(values->first());
    });
}

std::optional<QMargins> X11Connection::frameExtents(XWindowId window) {
    if (!m_display || window == 0)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    Trap trap(m_display);
    const auto values = cardinalsLocked(window, atomLocked("_NET_FRAME_EXTENTS"), XA_CARDINAL);
    if (!values || values->size() < 4)
        return std::nullopt;
    // Left, right, top, bottom.
    return QMargins(int(values->at(0)), int(values->at(2)), int(values->at(1)), int(values->at(3)));
}

QList<XWindowId> X11Connection::clientListStacking() {
    return section(m_display, m_mutex, QList<XWindowId>(), [&](Trap&) -> QList<XWindowId> {
        auto values = cardinalsLocked(m_root, atomLocked("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
        if (!values)
            values = cardinalsLocked(m_root, atomLocked("_NET_CLIENT_LIST"), XA_WINDOW);
        QList<XWindowId> windows;
        if (values) {
            for (unsigned long value : *values)
                windows.append(XWindowId(value));
        }
        return windows;
    });
}

std::optional<qint32> X11Connection::windowPid(XWindowId window) {
    if (window == 0)
        return std::nullopt;
    return section(m_display, m_mutex, std::optional<qint32>(), [&](Trap&) -> std::optional<qint32> {
        const auto values = cardinalsLocked(window, atomLocked("_NET_WM_PID"), XA_CARDINAL);
        // The X-Resource answer covers every id in a client's range, also ids of windows that are gone (a stale
        // active window, say): only a window that still exists has an owner.
        if (t_trapError != 0)
            return std::nullopt;
        std::optional<qint32> announced;
        if (values && !values->isEmpty() && values->first() != 0 && values->first() <= 0x7fffffffUL)
            announced = qint32(values->first());
        if (m_hasXRes) {
            XResClientIdSpec spec{};
            spec.client = window;
            spec.mask = XRES_CLIENT_ID_PID_MASK;
            long count = 0;
            XResClientIdValue* ids = nullptr;
            std::optional<qint32> client;
            if (XResQueryClientIds(m_display, 1, &spec, &count, &ids) == Success && ids) {
                for (long i = 0; i < count; ++i) {
                    if (XResGetClientIdType(&ids[i]) == XRES_CLIENT_ID_PID) {
                        const pid_t found = XResGetClientPid(&ids[i]);
                        if (found > 0)
                            client = qint32(found);
                    }
                }
                XResClientIdsDestroy(count, ids);
            }
            // The server knows the client's real process, also where the window names another (inside a sandbox).
            if (client)
                return client;
        }
        return announced;
    });
}

QString X11Connection::windowTitle(XWindowId window) {
    if (window == 0)
        return {};
    return section(m_display, m_mutex, QString(), [&](Trap&) -> QString {
        if (auto title = textLocked(window, atomLocked("_NET_WM_NAME")))
            return *title;
        return textLocked(window, XA_WM_NAME).value_or(QString());
    });
}

std::optional<QString> X11Connection::textProperty(XWindowId window, const char* name) {
    if (window == 0)
        return std::nullopt;
    return section(m_display, m_mutex, std::optional<QString>(),
                   [&](Trap&) -> std::optional<QString> { return textLocked(window, atomLocked(name)); });
}

std::optional<WindowClass> X11Connection::windowClass(XWindowId window) {
    if (window == 0)
        return std::nullopt;
    return section(m_display, m_mutex, std::optional<WindowClass>(), [&](Trap&) -> std::optional<WindowClass> {
        XClassHint hint{};
        if (!XGetClassHint(m_display, window, &hint)) {
            return std::nullopt;
        }
        const std::unique_ptr<char, XFreeDeleter> name(hint.res_name);
        const std::unique_ptr<char, XFreeDeleter> className(hint.res_class);
        return WindowClass{name ? QString::fromUtf8(name.get()) : QString(),
                           className ? QString::fromUtf8(className.get()) : QString()};
    });
}

std::optional<QRect> X11Connection::rootGeometry(XWindowId window) {
    const auto placed = placement(window);
    return placed ? std::optional<QRect>(placed->rect) : std::nullopt;
}

std::optional<X11Connection::Placement> X11Connection::placement(XWindowId window) {
    if (window == 0)
        return std::nullopt;
    return section(m_display, m_mutex, std::optional<Placement>(), [&](Trap&) -> std::optional<Placement> {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(m_display, window, &attributes))
            return std::nullopt;
        int x = 0;
        int y = 0;
        Window child = 0;
        if (!XTranslateCoordinates(m_display, window, m_root, 0, 0, &x, &y, &child))
            return std::nullopt;
        return Placement{QRect(x, y, attributes.width, attributes.height), attributes.map_state == IsViewable};
    });
}

bool X11Connection::isViewable(XWindowId window) {
    if (window == 0)
        return false;
    return section(m_display, m_mutex, false, [&](Trap&) -> bool {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(m_display, window, &attributes))
            return false;
        return attributes.map_state == IsViewable;
    });
}

bool X11Connection::isIconic(XWindowId window) {
    if (window == 0)
        return false;
    return section(m_display, m_mutex, false, [&](Trap&) -> bool {
        const Atom wmState = atomLocked("WM_STATE");
        const auto values = cardinalsLocked(window, wmState, wmState);
        return values && !values->isEmpty() && values->first() == IconicState;
    });
}

bool X11Connection::isNormalWindow(XWindowId window) {
    if (window == 0)
        return false;
    return section(m_display, m_mutex, false, [&](Trap&) -> bool {
        const auto types = cardinalsLocked(window, atomLocked("_NET_WM_WINDOW_TYPE"), XA_ATOM);
        if (!types || types->isEmpty())
            return true;
        const unsigned long first = types->first();
        return first == atomLocked("_NET_WM_WINDOW_TYPE_NORMAL") || first == atomLocked("_NET_WM_WINDOW_TYPE_DIALOG");
    });
}

std::optional<XWindowId> X11Connection::topLevelAncestor(XWindowId window) {
    if (window == 0)
        return std::nullopt;
    return section(m_display, m_mutex, std::optional<XWindowId>(), [&](Trap&) -> std::optional<XWindowId> {
        Window current = window;
        for (int depth = 0; depth < 64; ++depth) {
            Window rootReturn = 0;
            Window parent = 0;
            Window* children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(m_display, current, &rootReturn, &parent, &children, &count))
                return std::nullopt;
            if (children)
                XFree(children);
            if (parent == 0 || parent == rootReturn)
                return XWindowId(current);
            current = parent;
        }
        return std::nullopt;
    });
}

std::optional<XWindowId> X11Connection::transientFor(XWindowId window) {
    if (window == 0)
        return std::nullopt;
    return section(m_display, m_mutex, std::optional<XWindowId>(), [&](Trap&) -> std::optional<XWindowId> {
        Window owner = 0;
        if (!XGetTransientForHint(m_display, window, &owner) || owner == 0)
            return std::nullopt;
        return XWindowId(owner);
    });
}

bool X11Connection::compositorRunning() {
    return section(m_display, m_mutex, false, [&](Trap&) -> bool {
        const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(m_screen);
        return XGetSelectionOwner(m_display, atomLocked(selection.constData())) != 0;
    });
}

int X11Connection::activate(XWindowId window) {
    return section(m_display, m_mutex, BadImplementation, [&](Trap& trap) -> int {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(m_display, window, &attributes)) {
            const int error = trap.finish();
            return error != 0 ? error : BadWindow;
        }
        const Atom wmState = atomLocked("WM_STATE");
        if (const auto state = cardinalsLocked(window, wmState, wmState);
            state && !state->isEmpty() && state->first() == IconicState)
            XMapWindow(m_display, window);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = atomLocked("_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // the request comes from a pager-like tool, not from the window's application
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = 0;
        XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        return trap.finish();
    });
}

int X11Connection::withDisplay(const std::function<void(_XDisplay*)>& body) {
    if (!m_display)
        return BadImplementation;
    std::lock_guard lock(m_mutex);
    Trap trap(m_display);
    body(m_display);
    return trap.finish();
}

int X11Connection::takeError(_XDisplay* display) {
    XSync(display, False);
    const int error = display == t_trapDisplay ? t_trapError : 0;
    if (display == t_trapDisplay)
        t_trapError = 0;
    return error;
}

} // namespace tavrine::platform

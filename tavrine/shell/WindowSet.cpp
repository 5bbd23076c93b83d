#include "tavrine/shell/WindowSet.h"

#include "tavrine/ui/FirstFrameBackground.h"
#include "tavrine/ui/GraphicsWarmUp.h"
#include "tavrine/ui/QmlEngineSetup.h"
#include "tavrine/ui/QtX11.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QScreen>

#include <xcb/xcb.h>

#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace tavrine::shell {

namespace {
const QString moduleUri = QStringLiteral("Tavrine.Shell");
// Long enough for a hidden window's render thread to have let its graphics go.
constexpr int trimDelayMs = 2000;

// Each render thread mallocs from an arena of its own, and glibc keeps a thread's freed memory after the thread
// ends: a released graphics context and the start-up's shader compiling would stay resident for good.
void returnFreedMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace

const QList<WindowSet::Spec>& WindowSet::specs() {
    static const QList<Spec> list = {
        // The main window stands in for a menu-bar panel: no frame, no task-bar entry.
        {QStringLiteral("focus"), QStringLiteral("FocusWindow"), QStringLiteral("Tavrine"),
         Qt::Tool | Qt::FramelessWindowHint, false, true},
        {QStringLiteral("onboarding"), QStringLiteral("OnboardingWindow"), QStringLiteral("Welcome to Tavrine"),
         Qt::Window, true},
        {QStringLiteral("history"), QStringLiteral("HistoryWindow"), QStringLiteral("History"), Qt::Window, true},
        {QStringLiteral("settings"), QStringLiteral("SettingsWindow"), QStringLiteral("Settings"), Qt::Window, true},
    };
    return list;
}

const WindowSet::Spec* WindowSet::spec(const QString& id) {
    for (const Spec& s : specs()) {
        if (s.id == id)
            return &s;
    }
    return nullptr;
}

WindowSet::WindowSet(QQmlEngine& engine, QVariantMap properties, QObject* parent)
    : QObject(parent), m_engine(engine), m_properties(std::move(properties)) {
    m_trim.setSingleShot(true);
    m_trim.setInterval(trimDelayMs);
    connect(&m_trim, &QTimer::timeout, this, &returnFreedMemory);
}

WindowSet::~WindowSet() {
    for (QQuickWindow* window : std::as_const(m_windows))
        delete window;
}

QQuickWindow* WindowSet::existingWindow(const QString& id) const {
    return m_windows.value(id);
}

QList<QQuickWindow*> WindowSet::builtWindows() const {
    return m_windows.values();
}

QQuickWindow* WindowSet::window(const QString& id) {
    if (QQuickWindow* built = m_windows.value(id))
        return built;
    const Spec* s = spec(id);
    if (!s)
        throw WindowLoadError(QStringLiteral("There is no window \"%1\".").arg(id));
    QQuickWindow* made = build(*s);
    m_windows.insert(id, made);
    return made;
}

QQuickWindow* WindowSet::build(const Spec& spec) {
    QQmlComponent component(&m_engine, ui::componentUrl(moduleUri, spec.component));
    if (component.isError())
        throw WindowLoadError(
            QStringLiteral("The window \"%1\" did not load: %2").arg(spec.id, component.errorString()));
    ui::GraphicsWarmUp::wait();
    QObject* object = component.beginCreate(m_engine.rootContext());
    auto* window = qobject_cast<QQuickWindow*>(object);
    if (!window) {
        delete object;
        throw WindowLoadError(
            QStringLiteral("The window \"%1\" did not load: %2").arg(spec.id, component.errorString()));
    }
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    // Both before the platform window exists: xcb copies the role into WM_WINDOW_ROLE when it creates it.
    window->setObjectName(spec.id);
    window->setProperty("_q_xcb_wm_window_role", spec.id.toUtf8());
    window->setFlags(spec.flags);
    // A graphics context per shown window stays for the life of the process unless the window lets it go: with
    // Mesa's software renderer that is some 15 MB a window. Windows opened now and then give theirs up when
    // hidden and make it again when shown (their items and state stay); the main window, which opens and closes
    // all day, keeps its own.
    if (!spec.keepsGraphicsWhenHidden) {
        window->setPersistentGraphics(false);
        window->setPersistentSceneGraph(false);
    }
    if (!spec.title.isEmpty())
        window->setTitle(spec.title);
    const QMetaObject* meta = window->metaObject();
    for (auto it = m_properties.cbegin(); it != m_properties.cend(); ++it) {
        if (meta->indexOfProperty(it.key().toUtf8().constData()) >= 0)
            window->setProperty(it.key().toUtf8().constData(), it.value());
    }
    component.completeCreate();
    if (component.isError()) {
        delete window;
        throw WindowLoadError(
            QStringLiteral("The window \"%1\" did not load: %2").arg(spec.id, component.errorString()));
    }
    window->setVisible(false);
    window->installEventFilter(this);
    // Showing compiles shaders, hiding may release a context: both leave freed memory behind.
    connect(window, &QWindow::visibleChanged, &m_trim, qOverload<>(&QTimer::start));
    return window;
}

QQuickWindow* WindowSet::openWindow(const QString& id) {
    QQuickWindow* opened = window(id);
    const Spec* s = spec(id);
    if (s && s->centred && !m_placed.contains(opened)) {
        m_placed.insert(opened);
        centre(opened);
    }
    // Opened while it is being drawn ahead: it comes on screen once drawn.
    ui::FirstFrameBackground::showAfterAll(*opened);
    opened->show();
    opened->raise();
    activate(opened);
    return opened;
}

void WindowSet::drawAhead(const QString& id) {
    // One built already has been shown, or drawn.
    if (m_windows.contains(id))
        return;
    try {
        ui::FirstFrameBackground::drawAhead(*window(id));
    } catch (const WindowLoadError&) {
        // Said when the window is opened.
    }
}

void WindowSet::releaseFreedMemorySoon() {
    m_trim.start();
}

void WindowSet::activate(QQuickWindow* window) {
    window->requestActivate();
    // Over Qt's own connection, the one that made the window: the requests then reach the server after whatever
    // Qt has asked about the window so far (its mapping above all).
    xcb_connection_t* connection = ui::qtx11::connection();
    if (!connection)
        return;
    static const xcb_atom_t wmState = ui::qtx11::atom("WM_STATE");
    static const xcb_atom_t activeWindow = ui::qtx11::atom("_NET_ACTIVE_WINDOW");
    const auto id = xcb_window_t(window->winId());
    // A minimised window is mapped first: window managers de-iconify on the request below, most but not all.
    constexpr quint32 iconicState = 3;
    if (xcb_get_property_reply_t* state =
            xcb_get_property_reply(connection, xcb_get_property(connection, 0, id, wmState, wmState, 0, 1), nullptr)) {
        if (state->format == 32 && xcb_get_property_value_length(state) >= 4 &&
            *static_cast<const quint32*>(xcb_get_property_value(state)) == iconicState)
            xcb_map_window(connection, id);
        free(state);
    }
    // From a pager-like tool: window managers honour it where they refuse Qt's own.
    ui::qtx11::sendToWindowManager(id, activeWindow, {2, XCB_CURRENT_TIME});
}

void WindowSet::centre(QQuickWindow* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->setPosition(area.x() + (area.width() - window->width()) / 2,
                        area.y() + (area.height() - window->height()) / 2);
}

bool WindowSet::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close) {
        if (auto* window = qobject_cast<QQuickWindow*>(watched)) {
            // Hidden, never destroyed: what the window shows stays as it was.
            event->ignore();
            window->hide();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tavrine::shell

#include "tavrine/shell/FocusWindowOpener.h"

#include "globalshortcuts/GlobalShortcuts.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/shell/WindowSet.h"
#include "tavrine/ui/FirstFrameBackground.h"
#include "tavrine/ui/WindowRaising.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QScreen>
#include <QThread>
#include <QTimer>

namespace tavrine::shell {

namespace {

QScreen* screenFor(const QRect& area) {
    if (QScreen* screen = QGuiApplication::screenAt(area.center()))
        return screen;
    return QGuiApplication::primaryScreen();
}

// A dialog the window opened (the save dialog of the recap, the desktop's own or Qt's) is part of it, not another
// window: the window stays while the dialog has the focus.
bool anotherWindowIsActive(QQuickWindow* window) {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        platform::X11Connection* x11 = platform::X11Connection::shared();
        const std::optional<platform::XWindowId> active = x11 ? x11->activeWindow() : std::nullopt;
        const auto own = platform::XWindowId(window->winId());
        return active && *active != own && x11->transientFor(*active) != own;
    }
    QWindow* focus = QGuiApplication::focusWindow();
    return focus && focus != window && focus->transientParent() != window;
}

} // namespace

FocusWindowOpener::FocusWindowOpener(WindowSet& windows, QObject* parent, Schedule schedule)
    : QObject(parent), m_windows(windows),
      m_opening(desktop(), schedule ? std::move(schedule) : Schedule([this](int delayMs, std::function<void()> work) {
                    // Held by the opener: a retry never runs after it is gone.
                    QTimer::singleShot(delayMs, this, std::move(work));
                })) {}

FocusWindowOpener::~FocusWindowOpener() {
    Q_ASSERT(!QCoreApplication::instance() || QThread::currentThread() == QCoreApplication::instance()->thread());
}

ui::FocusWindowOpening::Desktop FocusWindowOpener::desktop() {
    ui::FocusWindowOpening::Desktop d;
    d.windowVisible = [this] { return focusWindowVisible(); };
    d.trayAvailable = [this] { return m_tray.available && m_tray.available(); };
    d.trayIconGeometry = [this]() -> std::optional<QRect> {
        return m_tray.iconGeometry ? m_tray.iconGeometry() : std::nullopt;
    };
    d.showNearIcon = [this](const QRect& icon) {
        QQuickWindow* window = focusWindow();
        const QRect available = screenFor(icon)->availableGeometry();
        showAt(ui::placeNearTrayIcon(icon, window->size(), available), window);
    };
    d.showAtFallback = [this] {
        QQuickWindow* window = focusWindow();
        QScreen* screen = QGuiApplication::primaryScreen();
        const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
        showAt(ui::fallbackPlacement(window->size(), available), window);
    };
    d.activate = [this] {
        activate();
        emit opened();
    };
    return d;
}

void FocusWindowOpener::install() {
    if (m_installed)
        return;
    m_installed = true;
    QPointer<FocusWindowOpener> opener(this);
    globalshortcuts::onKeyUp(globalshortcuts::openMainWindow(), [opener] {
        if (opener)
            opener->open();
    });
}

QQuickWindow* FocusWindowOpener::focusWindow() {
    QQuickWindow* window = m_windows.window(QStringLiteral("focus"));
    watch(window);
    return window;
}

bool FocusWindowOpener::focusWindowVisible() const {
    QQuickWindow* window = m_windows.existingWindow(QStringLiteral("focus"));
    return window && window->isVisible();
}

void FocusWindowOpener::open() {
    m_opening.open();
}

void FocusWindowOpener::closeFocusWindow() {
    if (QQuickWindow* window = m_windows.existingWindow(QStringLiteral("focus")); window && window->isVisible())
        window->hide();
}

void FocusWindowOpener::toggle() {
    if (focusWindowVisible())
        closeFocusWindow();
    else
        open();
}

void FocusWindowOpener::showAt(const ui::TrayPlacement& placement, QQuickWindow* window) {
    m_keptEdge = placement.keptEdge;
    window->setPosition(placement.topLeft);
    m_placedFrame = QRect(placement.topLeft, window->size());
    window->show();
}

void FocusWindowOpener::activate() {
    QQuickWindow* window = focusWindow();
    window->raise();
    WindowSet::activate(window);
}

void FocusWindowOpener::watch(QQuickWindow* window) {
    if (!window || m_watched == window)
        return;
    m_watched = window;
    // A window above the tray grows and shrinks upwards: its bottom edge stays next to the icon.
    connect(window, &QWindow::heightChanged, this, &FocusWindowOpener::followHeight);
    connect(window, &QWindow::activeChanged, this, [this, window] {
        if (window->isActive() || !window->isVisible())
            return;
        // Checked a moment later, and only once another window really is active: a key grab (the hot key's own)
        // or a window manager passing the focus around takes it from us for an instant without any other window
        // becoming active.
        QTimer::singleShot(150, window, [window] {
            if (!window->isActive() && window->isVisible() && anotherWindowIsActive(window))
                window->hide();
        });
    });
}

void FocusWindowOpener::followHeight() {
    if (!m_watched || !m_watched->isVisible() || m_placedFrame.isNull())
        return;
    const QRect placed(m_watched->x(), m_placedFrame.y(), m_watched->width(), m_placedFrame.height());
    if (const std::optional<QRect> frame = ui::followContentHeight(placed, m_watched->height(), m_keptEdge)) {
        m_placedFrame = *frame;
        if (m_watched->y() != frame->y())
            m_watched->setY(frame->y());
    }
}

void FocusWindowOpener::showOrOpenWindow(const QString& title, std::function<void()> open) {
    if (!open) {
        const QString id = title.toLower();
        open = [this, id] {
            if (WindowSet::spec(id))
                m_windows.openWindow(id);
        };
    }
    ui::ShowOrOpenHooks hooks;
    hooks.ensureOpener = [this] { install(); };
    hooks.closeFocusWindow = [this] {
        // The window opened next may take a moment to build: the main window holds its place until it shows.
        if (focusWindowVisible())
            ui::FirstFrameBackground::expectReplacement();
        closeFocusWindow();
    };
    hooks.raising.raise = [](QWindow* window) {
        window->showNormal();
        window->raise();
        if (auto* quick = qobject_cast<QQuickWindow*>(window))
            WindowSet::activate(quick);
        else
            window->requestActivate();
    };
    hooks.raising.post = [this](std::function<void()> work) { QTimer::singleShot(0, this, std::move(work)); };
    ui::showOrOpenWindow(title, open, hooks);
}

} // namespace tavrine::shell

#include "tavrine/shell/NudgePresenter.h"

#include "tavrine/core/Log.h"
#include "tavrine/model/DesktopCompositing.h"
#include "tavrine/nudge/NudgeDesktop.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/ui/FirstFrameBackground.h"
#include "tavrine/ui/Frosted.h"
#include "tavrine/ui/PanelPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QScreen>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace tavrine::shell {

namespace {

// A panel that the user moves by dragging any part of it that no control takes.
class PanelWindow final : public QQuickWindow {
public:
    using QQuickWindow::QQuickWindow;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        QQuickWindow::mousePressEvent(event);
        if (!event->isAccepted() && event->button() == Qt::LeftButton) {
            startSystemMove();
            event->accept();
        }
    }
};

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Shown for the user, not only being drawn out of sight ahead of its first showing.
bool shownToUser(const QWindow& panel) {
    return panel.isVisible() && !ui::FirstFrameBackground::isDrawnAhead(panel);
}

// Making the first nudge (its components compiled, its render thread's graphics set up and shaders compiled)
// frees megabytes that glibc would otherwise keep resident in the heaps for the rest of the run.
void returnFreedMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace

NudgePresenter::NudgePresenter(QQmlEngine& engine, Parts parts, QObject* parent)
    : QObject(parent), m_engine(engine), m_parts(std::move(parts)) {
    if (!m_parts.mainScreen)
        m_parts.mainScreen = &NudgePresenter::defaultMainScreen;
    if (!m_parts.pointer)
        m_parts.pointer = [] { return QCursor::pos(); };
    m_closeLinger.setSingleShot(true);
    m_closeLinger.setInterval(100);
    connect(&m_closeLinger, &QTimer::timeout, this, &NudgePresenter::updateClosePanel);
    if (m_parts.compositing)
        connect(m_parts.compositing, &DesktopCompositing::compositorRunningChanged, this,
                &NudgePresenter::followCompositing);
}

NudgePresenter::~NudgePresenter() {
    // The items belong to the panels' content; destroy the close panel first, as it is the card's transient.
    m_close.reset();
    m_card.reset();
}

QScreen* NudgePresenter::defaultMainScreen() {
    if (onX11()) {
        if (platform::X11Connection* x11 = platform::X11Connection::shared()) {
            if (const auto active = x11->activeWindow()) {
                if (const auto area = x11->rootGeometry(*active))
                    if (QScreen* screen = QGuiApplication::screenAt(area->center()))
                        return screen;
            }
        }
    }
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos()))
        return screen;
    return QGuiApplication::primaryScreen();
}

void NudgePresenter::presentNudge() {
    bool wasShown = false;
    if (m_card)
        wasShown = shownToUser(*m_card);
    else if (m_notch)
        wasShown = m_notch->wantsOpen();

    QScreen* screen = m_parts.mainScreen();
    const std::optional<QSizeF> notch = screen && m_parts.notchSize ? m_parts.notchSize(screen) : std::nullopt;
    if (notch && m_parts.makeNotch) {
        hideFloating();
        if (!m_notch)
            m_notch = m_parts.makeNotch();
        if (m_notch)
            m_notch->show(screen, *notch);
    } else {
        if (m_notch)
            m_notch->hide(false);
        showFloating(screen);
    }
    if (!wasShown && m_parts.playSound)
        m_parts.playSound();
}

void NudgePresenter::prepare() {
    if (m_card)
        return;
    buildPanels();
    // Drawn once out of sight, with a sentence where a nudge's reason goes and at the size a nudge shows at: each
    // panel is a window of its own, whose first frame (a graphics context, a scene graph, the driver's code for its
    // shaders) would otherwise be made in the first nudge's time, some five times a later nudge's.
    QScreen* screen = m_parts.mainScreen();
    if (!screen)
        return;
    // The sentence stays in the hidden card until a nudge replaces it (showFloating).
    standIn(true);
    layoutFloating(screen);
    for (QQuickWindow* panel : {m_card.get(), m_close.get()})
        ui::FirstFrameBackground::drawAhead(*panel);
}

void NudgePresenter::standIn(bool shown) {
    if (m_cardRoot && m_cardRoot->metaObject()->indexOfProperty("standInReason") >= 0)
        m_cardRoot->setProperty("standInReason",
                                shown ? QStringLiteral("This can wait. Back to your session.") : QString());
}

void NudgePresenter::dismissNudge() {
    hideFloating();
    if (m_notch)
        m_notch->hide(true);
}

void NudgePresenter::hideFloating() {
    if (m_parts.hover)
        QMetaObject::invokeMethod(m_parts.hover, "reset");
    if (m_close)
        m_close->hide();
    if (m_card)
        m_card->hide();
}

std::unique_ptr<QQuickWindow> NudgePresenter::makePanel(const QUrl& url, const char* id, QQuickItem** root) {
    auto window = std::make_unique<PanelWindow>();
    window->setObjectName(QString::fromLatin1(id));
    window->setProperty("_q_xcb_wm_window_role", QByteArray(id));
    window->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    // xcb then maps it with _NET_WM_USER_TIME 0, which tells the window manager not to give it the focus: the
    // nudge must not take the keyboard from what the user is typing in.
    window->setProperty("_q_showWithoutActivating", true);
    // Without a compositor a transparent window shows black. The panel keeps an alpha channel either way, so that
    // it can turn translucent when a compositor comes.
    ui::Frosted::paint(*window, composited() ? QColor(Qt::transparent) : ui::Frosted::windowColor());
    QQmlComponent component(&m_engine, url);
    QObject* object = component.createWithInitialProperties(m_parts.properties, m_engine.rootContext());
    *root = qobject_cast<QQuickItem*>(object);
    if (!*root) {
        log::error(
            logSession(),
            QStringLiteral("Nudge panel %1 did not load: %2").arg(QString::fromLatin1(id), component.errorString()));
        delete object;
    } else {
        (*root)->setParentItem(window->contentItem());
        (*root)->setParent(window->contentItem());
        if ((*root)->metaObject()->indexOfProperty("translucent") >= 0)
            (*root)->setProperty("translucent", composited());
    }
    window->create();
    window->installEventFilter(this);
    return window;
}

bool NudgePresenter::eventFilter(QObject* watched, QEvent* event) {
    // Every desktop, asked at each showing of a panel however it comes: the window manager forgets it when the
    // panel is hidden. Before the mapping, for the window manager to read, and again once mapped: shown just after
    // it was hidden, the first request can reach the window manager while it still withdraws the panel, which
    // drops the request with the panel's desktop.
    auto* panel = static_cast<QWindow*>(watched);
    if (event->type() == QEvent::Show || (event->type() == QEvent::Expose && panel->isExposed()))
        nudge::showOnAllDesktops(*panel);
    return QObject::eventFilter(watched, event);
}

void NudgePresenter::buildPanels() {
    m_card = makePanel(m_parts.card, "nudge", &m_cardRoot);
    // Once the card's first frame is up (signalled from its render thread).
    connect(m_card.get(), &QQuickWindow::frameSwapped, this, &returnFreedMemory,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    m_close = makePanel(m_parts.closeButton, "nudgeClose", &m_closeRoot);
    m_close->setTransientParent(m_card.get());
    m_close->resize(ui::nudgeCloseButtonSize, ui::nudgeCloseButtonSize);
    if (m_closeRoot) {
        m_closeRoot->setSize(QSizeF(ui::nudgeCloseButtonSize, ui::nudgeCloseButtonSize));
        // A button that cannot fade (no compositor) says through `shown` when it should be there; its panel
        // then shows and hides instead.
        const int shown = m_closeRoot->metaObject()->indexOfProperty("shown");
        if (shown >= 0) {
            m_closeTellsShown = true;
            const QMetaMethod notify = m_closeRoot->metaObject()->property(shown).notifySignal();
            const int slot = metaObject()->indexOfMethod("updateClosePanel()");
            if (notify.isValid() && slot >= 0)
                connect(m_closeRoot, notify, this, metaObject()->method(slot));
        }
    }
}

void NudgePresenter::layoutFloating(QScreen* screen) {
    const QSizeF fitting = m_cardRoot ? QSizeF(m_cardRoot->implicitWidth(), m_cardRoot->implicitHeight()) : QSizeF();
    const ui::NudgeCardLayout layout = ui::layoutNudgeCard(fitting, screen->availableGeometry());
    m_card->setGeometry(layout.card);
    if (m_cardRoot)
        m_cardRoot->setSize(layout.card.size());
    m_close->setGeometry(layout.closeButton);
    cutToOutline(m_card.get(), m_cardRoot, layout.card.size());
    cutToOutline(m_close.get(), m_closeRoot, layout.closeButton.size());
}

bool NudgePresenter::composited() const {
    return m_parts.compositing && m_parts.compositing->compositorRunning();
}

void NudgePresenter::followCompositing() {
    const bool translucent = composited();
    for (const auto& [panel, root] : {std::pair{m_card.get(), m_cardRoot}, std::pair{m_close.get(), m_closeRoot}}) {
        if (!panel)
            continue;
        ui::Frosted::paint(*panel, translucent ? QColor(Qt::transparent) : ui::Frosted::windowColor());
        if (root && root->metaObject()->indexOfProperty("translucent") >= 0)
            root->setProperty("translucent", translucent);
        cutToOutline(panel, root, panel->size());
    }
    updateClosePanel();
}

void NudgePresenter::cutToOutline(QQuickWindow* panel, QQuickItem* root, const QSize& size) {
    if (!panel || !root)
        return;
    if (composited()) {
        panel->setMask(QRegion());
        return;
    }
    // Without a compositor the panel cannot be translucent: its square corners would show around the rounded
    // content, so the window is cut to the content's outline instead.
    const double radius = root->property("outlineRadius").toDouble();
    panel->setMask(ui::roundedMask(QRectF(QPointF(0, 0), QSizeF(size)), radius));
}

void NudgePresenter::showFloating(QScreen* screen) {
    if (!m_card)
        buildPanels();
    if (!screen)
        return;
    standIn(false);
    layoutFloating(screen);
    ui::FirstFrameBackground::showAfterAll(*m_card);
    m_card->show();
    m_card->raise();
    updateClosePanel();
}

void NudgePresenter::updateClosePanel() {
    if (!m_close || !m_card)
        return;
    const bool followsShown = m_closeTellsShown && !composited();
    const bool shown = !followsShown || m_closeRoot->property("shown").toBool();
    const bool closeShown = shownToUser(*m_close);
    const bool wanted =
        closePanelWanted(shownToUser(*m_card), followsShown, shown, closeShown, m_parts.pointer(), m_close->geometry());
    if (wanted && !shown)
        m_closeLinger.start();
    if (wanted && !closeShown) {
        ui::FirstFrameBackground::showAfterAll(*m_close);
        m_close->show();
        m_close->raise();
    } else if (!wanted && closeShown) {
        m_close->hide();
    } else if (wanted) {
        m_close->raise();
    }
}

bool NudgePresenter::closePanelWanted(bool cardVisible, bool followsShown, bool shown, bool closeVisible,
                                      const QPoint& pointer, const QRect& closeArea) {
    if (!cardVisible)
        return false;
    if (!followsShown || shown)
        return true;
    // Only keeps a button already there: the pointer passing the corner never brings it.
    return closeVisible && closeArea.contains(pointer);
}

} // namespace tavrine::shell

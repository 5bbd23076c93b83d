#include "tavrine/nudge/NotchNudgeController.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Error.h"
#include "tavrine/nudge/NotchGeometry.h"
#include "tavrine/nudge/NudgeDesktop.h"
#include "tavrine/platform/MotionPreference.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QLoggingCategory>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>

namespace tavrine::nudge {

namespace {

Q_LOGGING_CATEGORY(lcNotch, "com.dravolence.tavrine.NotchNudge")

// Removes the panel once the close animation has played, unless a new nudge came first.
QCoro::Task<void> closeLater(Clock& clock, CancellationToken token, QPointer<NotchNudgeController> controller,
                             QPointer<QQuickWindow> window) {
    try {
        co_await clock.sleep(0.45, token);
    } catch (const std::exception&) {
        // A cancelled or failed sleep: the checks below decide.
    }
    if (token.isCancelled() || !controller || controller->wantsOpen() || !window)
        co_return;
    window->hide();
}

} // namespace

NotchNudgeController::NotchNudgeController(FocusSession& session, QQmlEngine& engine, Clock& clock, Options options,
                                           QObject* parent)
    : QObject(parent), m_session(session), m_engine(engine), m_clock(clock), m_options(options) {}

NotchNudgeController::~NotchNudgeController() {
    cancelClosing();
    // The view goes while its window and scene graph still stand.
    delete m_root.data();
    m_window.reset();
}

void NotchNudgeController::cancelClosing() {
    if (m_closing) {
        m_closing->cancel();
        m_closing.reset();
    }
}

void NotchNudgeController::show(const QRectF& screenFrame, const QSizeF& notch) {
    cancelClosing();
    m_state.setNotch(notch);
    const QString reason = m_session.pendingNudgeReason();
    if (!reason.isEmpty()) {
        m_state.setReason(reason);
        m_state.setIntention(m_session.rehearsalIntention().value_or(m_session.intention()));
        m_state.setIsFocusSession(m_session.isFocusSession());
    }
    if (!m_window)
        makePanel();
    layoutPanel(screenFrame);
    m_window->show();
    m_window->raise();
    showOnAllDesktops(*m_window);
    if (m_wantsOpen)
        return;
    m_wantsOpen = true;
    m_state.setRevealedAt(m_clock.now() + 0.22);
    // The first frame shows the closed cap; the view opens from it on the next turn of the event loop.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_wantsOpen)
                m_state.setIsOpen(true);
        },
        Qt::QueuedConnection);
}

void NotchNudgeController::hide(bool animated) {
    m_wantsOpen = false;
    cancelClosing();
    m_state.setIsOpen(false);
    if (!m_window || !m_window->isVisible())
        return;
    if (!animated || !m_options.translucent) {
        m_window->hide();
        return;
    }
    m_closing = std::make_unique<CancellationSource>();
    closeLater(m_clock, m_closing->token(), QPointer(this), QPointer<QQuickWindow>(m_window.get()));
}

void NotchNudgeController::makePanel() {
    m_window = std::make_unique<QQuickWindow>();
    m_window->setObjectName(QStringLiteral("notchNudgePanel"));
    m_window->setProperty("_q_xcb_wm_window_role", QByteArray("notchNudgePanel"));
    m_window->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                       Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint);
    m_window->setColor(Qt::transparent);
    m_window->resize(508, 240);

    QQmlComponent component(&m_engine, ui::componentUrl(QStringLiteral("Tavrine.Nudge"),
                                                         QStringLiteral("NotchNudgeView")));
    QVariantMap properties{{QStringLiteral("panelState"), QVariant::fromValue<QObject*>(&m_state)},
                           {QStringLiteral("session"), QVariant::fromValue<QObject*>(&m_session)},
                           {QStringLiteral("translucent"), m_options.translucent}};
    QObject* object = component.createWithInitialProperties(properties);
    m_root = qobject_cast<QQuickItem*>(object);
    if (!m_root) {
        qCWarning(lcNotch) << "The notch view did not load:" << component.errorString();
        delete object;
        return;
    }
    m_root->setParentItem(m_window->contentItem());
    m_root->setParent(m_window.get());
    if (auto* motion = m_options.motion) {
        m_root->setProperty("reduceMotion", motion->reduceMotion());
        connect(motion, &platform::MotionPreference::reduceMotionChanged, m_root,
                [root = m_root, motion] { root->setProperty("reduceMotion", motion->reduceMotion()); });
    }
}

void NotchNudgeController::layoutPanel(const QRectF& screenFrame) {
    QSizeF fitting;
    if (m_root) {
        m_root->polish();
        fitting = QSizeF(m_root->implicitWidth(), m_root->implicitHeight());
    }
    const QRect frame = notchPanelRect(screenFrame, fitting);
    m_window->setGeometry(frame);
    if (m_root)
        m_root->setSize(frame.size());
    if (!m_options.translucent) {
        // Without a compositor the transparent parts would show black: cut the window to its open shape.
        const QSizeF body(frame.width() - 48, frame.height() - 28);
        const QPainterPath shape = notchShapePath(QRectF(QPointF(24, 0), body), kOpenNotchRadii.ear,
                                                  kOpenNotchRadii.bottom);
        m_window->setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
}

} // namespace tavrine::nudge

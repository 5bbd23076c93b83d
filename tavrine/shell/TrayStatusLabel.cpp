#include "tavrine/shell/TrayStatusLabel.h"

#include "tavrine/session/FocusSession.h"
#include "tavrine/ui/PaletteWatcher.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace tavrine::shell {

TrayStatusLabel::TrayStatusLabel(FocusSession& session, Actions actions, QObject* parent)
    : QObject(parent), m_session(session), m_actions(std::move(actions)), m_menu(std::make_unique<QMenu>()),
      m_icon(std::make_unique<QSystemTrayIcon>()) {
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    m_open = m_menu->addAction(tr("Open Tavrine"));
    m_quit = m_menu->addAction(tr("Quit Tavrine"));
    connect(m_open, &QAction::triggered, this, [this] {
        if (m_actions.onOpen)
            m_actions.onOpen();
    });
    connect(m_quit, &QAction::triggered, this, [this] {
        if (m_actions.onQuit)
            m_actions.onQuit();
    });
    // Qt opens the menu itself on a right click (XEmbed) and hands it to a StatusNotifierItem host as the item's
    // menu.
    m_icon->setContextMenu(m_menu.get());
    connect(&m_session, &FocusSession::phaseChanged, this, &TrayStatusLabel::refresh);
    connect(&m_session, &FocusSession::remainingChanged, this, &TrayStatusLabel::refresh);
    connect(&m_session, &FocusSession::menuBarSessionBackgroundChanged, this, &TrayStatusLabel::refresh);
    connect(&m_session, &FocusSession::rehearsalIntentionChanged, this, &TrayStatusLabel::refresh);
    auto* palette = new ui::PaletteWatcher(this);
    connect(palette, &ui::PaletteWatcher::paletteChanged, this, &TrayStatusLabel::refresh);
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A click, a double click or a middle click all mean the same here; the context reason opens the menu.
        if (reason != QSystemTrayIcon::Context && m_actions.onClicked)
            m_actions.onClicked();
    });
    refresh();
}

TrayStatusLabel::~TrayStatusLabel() = default;

void TrayStatusLabel::show() {
    m_icon->show();
    m_shown = true;
    if (!m_installed) {
        m_installed = true;
        if (m_actions.onInstalled)
            m_actions.onInstalled();
    }
}

bool TrayStatusLabel::showIconDrawn(int limitMs) {
    const QWidgetList before = QApplication::topLevelWidgets();
    m_icon->show();
    // Where a host embeds icons, Qt draws this one in a widget window of its own, made by show().
    m_embedded = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!before.contains(widget) && widget->objectName() == QLatin1String("QSystemTrayIconSys"))
            m_embedded = widget;
    }
    if (!m_embedded)
        return false;
    m_embeddedDrawn = false;
    QTimer limit;
    limit.setSingleShot(true);
    limit.start(limitMs);
    m_embedded->installEventFilter(this);
    // The embedding, the exposure and the drawing they bring; a click waits until the icon is there to take it.
    // Qt may draw the icon once before it learns where the host put it.
    while (limit.isActive() && m_embedded && !(m_embeddedDrawn && trayIconGeometry()))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    if (m_embedded)
        m_embedded->removeEventFilter(this);
    return m_embeddedDrawn;
}

bool TrayStatusLabel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_embedded) {
        switch (event->type()) {
        case QEvent::Resize:
            // What was drawn at the old size is gone (trayer gives the icon its panel's height once it embedded
            // it). A move keeps it: the server carries the drawing along.
            m_embeddedDrawn = false;
            break;
        case QEvent::Paint:
            // A paint that reaches the screen: the window is exposed, i.e. embedded and mapped by the host.
            if (m_embedded->windowHandle() && m_embedded->windowHandle()->isExposed())
                m_embeddedDrawn = true;
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool TrayStatusLabel::trayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

std::optional<QRect> TrayStatusLabel::trayIconGeometry() const {
    if (!m_icon->isVisible())
        return std::nullopt;
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens << screen->geometry();
    return placedIconGeometry(m_icon->geometry(), screens);
}

std::optional<QRect> TrayStatusLabel::placedIconGeometry(const QRect& reported, const QList<QRect>& screens) {
    // Until the host has embedded the icon, Qt reports the icon's own unplaced window: at the origin. (A host
    // whose icon really sits in the top-left pixel is taken for one that has not placed it; the window then
    // opens at the fallback corner after the retries.)
    if (!reported.isValid() || reported.width() <= 1 || reported.height() <= 1 || reported.topLeft() == QPoint(0, 0))
        return std::nullopt;
    // Right after embedding, the host lays its panel out again for the new icon (trayer grows and, aligned
    // right, moves leftwards), and Qt passes on places from before that which lie partly off the screen: a
    // window opened under one of them would sit beside the icon. Only an icon wholly on one screen is placed.
    for (const QRect& screen : screens) {
        if (screen.contains(reported))
            return reported;
    }
    return std::nullopt;
}

ui::TrayLabelState TrayStatusLabel::state() const {
    ui::TrayLabelState state;
    state.showsTime = m_session.isActive() || m_session.rehearsalIntention().has_value();
    state.remainingText = m_session.remainingText();
    state.background = m_session.menuBarSessionBackground();
    return state;
}

QString TrayStatusLabel::toolTip() const {
    return m_icon->toolTip();
}

void TrayStatusLabel::refresh() {
    const ui::TrayLabelState now = state();
    const QString text = ui::labelAccessibilityText(now);
    if (m_icon->toolTip() != text)
        m_icon->setToolTip(text);
    const QColor ink = QGuiApplication::palette().color(QPalette::WindowText);
    if (const std::optional<QImage> image = m_renderer.imageIfChanged(now, ink)) {
        m_icon->setIcon(QIcon(QPixmap::fromImage(*image)));
        ++m_iconUpdates;
    }
}

} // namespace tavrine::shell

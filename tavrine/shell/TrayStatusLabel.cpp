#include "tavrine/shell/TrayStatusLabel.h"

#include "tavrine/session/FocusSession.h"
#include "tavrine/ui/PaletteWatcher.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace tavrine::shell {

TrayStatusLabel::TrayStatusLabel(FocusSession& session, std::function<void()> onInstalled,
                                 std::function<void()> onClicked, QObject* parent)
    : QObject(parent), m_session(session), m_onInstalled(std::move(onInstalled)), m_onClicked(std::move(onClicked)),
      m_icon(std::make_unique<QSystemTrayIcon>()) {
    connect(&m_session, &FocusSession::phaseChanged, this, &TrayStatusLabel::refresh);
    connect(&m_session, &FocusSession::remainingChanged, this, &TrayStatusLabel::refresh);
    connect(&m_session, &FocusSession::menuBarSessionBackgroundChanged, this, &TrayStatusLabel::refresh);
    connect(&m_session, &FocusSession::rehearsalIntentionChanged, this, &TrayStatusLabel::refresh);
    auto* palette = new ui::PaletteWatcher(this);
    connect(palette, &ui::PaletteWatcher::paletteChanged, this, &TrayStatusLabel::refresh);
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A click, a double click or a middle click all mean the same here: there is no menu to open.
        if (reason != QSystemTrayIcon::Context && m_onClicked)
            m_onClicked();
    });
    refresh();
}

TrayStatusLabel::~TrayStatusLabel() = default;

void TrayStatusLabel::show() {
    m_icon->show();
    m_shown = true;
    if (!m_installed) {
        m_installed = true;
        if (m_onInstalled)
            m_onInstalled();
    }
}

bool TrayStatusLabel::trayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

std::optional<QRect> TrayStatusLabel::trayIconGeometry() const {
    const QRect geometry = m_icon->geometry();
    // Until the host has embedded the icon, Qt reports the icon's own unplaced window: at the origin. (A host
    // whose icon really sits in the top-left pixel is taken for one that has not placed it; the window then
    // opens at the fallback corner after the retries.)
    if (!m_icon->isVisible() || !geometry.isValid() || geometry.width() <= 1 || geometry.height() <= 1 ||
        geometry.topLeft() == QPoint(0, 0))
        return std::nullopt;
    return geometry;
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

#include "tavrine/shell/ShellStageSurroundings.h"

#include "tavrine/shell/NudgePresenter.h"
#include "tavrine/shell/TrayStatusLabel.h"
#include "tavrine/shell/WindowSet.h"

#include <QQuickWindow>

namespace tavrine::shell {

std::optional<QRectF> ShellStageSurroundings::trayIconFrame() const {
    TrayStatusLabel* tray = m_tray ? m_tray() : nullptr;
    if (!tray || !tray->isShown() || !TrayStatusLabel::trayAvailable())
        return std::nullopt;
    const std::optional<QRect> icon = tray->trayIconGeometry();
    if (!icon)
        return std::nullopt;
    return QRectF(*icon);
}

std::optional<QRectF> ShellStageSurroundings::nudgeFrame() const {
    auto* presenter = dynamic_cast<NudgePresenter*>(m_nudges ? m_nudges() : nullptr);
    if (!presenter)
        return std::nullopt;
    QQuickWindow* card = presenter->cardPanel();
    if (!card || !card->isVisible())
        return std::nullopt;
    return QRectF(card->geometry());
}

void ShellStageSurroundings::raiseNudge() {
    auto* presenter = dynamic_cast<NudgePresenter*>(m_nudges ? m_nudges() : nullptr);
    if (!presenter)
        return;
    for (QQuickWindow* panel : {presenter->cardPanel(), presenter->closePanel()}) {
        if (panel && panel->isVisible())
            panel->raise();
    }
}

void ShellStageSurroundings::activate(QWindow* window) {
    if (auto* quick = qobject_cast<QQuickWindow*>(window))
        WindowSet::activate(quick);
    else if (window)
        window->requestActivate();
}

} // namespace tavrine::shell

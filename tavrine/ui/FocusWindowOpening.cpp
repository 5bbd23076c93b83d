#include "tavrine/ui/FocusWindowOpening.h"

namespace tavrine::ui {

FocusWindowOpening::FocusWindowOpening(Desktop desktop, OpenRetryChain::Schedule schedule)
    : m_desktop(std::move(desktop)), m_retries(std::move(schedule)) {}

FocusWindowOpening::Result FocusWindowOpening::open() {
    if (m_desktop.windowVisible()) {
        m_retries.reset();
        m_desktop.activate();
        return Result::Activated;
    }
    if (m_desktop.trayAvailable()) {
        if (const std::optional<QRect> icon = m_desktop.trayIconGeometry(); icon && icon->isValid()) {
            m_retries.reset();
            m_desktop.showNearIcon(*icon);
            m_desktop.activate();
            return Result::OpenedAtIcon;
        }
        switch (m_retries.retryLater([this] { open(); })) {
        case OpenRetryChain::Outcome::Scheduled:
        case OpenRetryChain::Outcome::Joined:
            return Result::Waiting;
        case OpenRetryChain::Outcome::GaveUp:
            break;
        }
    }
    // No tray, or a host that never placed the icon: the window still opens.
    m_desktop.showAtFallback();
    m_desktop.activate();
    return Result::OpenedAtFallback;
}

} // namespace tavrine::ui

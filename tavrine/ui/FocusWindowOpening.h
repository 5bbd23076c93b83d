#pragma once

#include "tavrine/ui/OpenRetryChain.h"

#include <QRect>
#include <functional>
#include <optional>

namespace tavrine::ui {

// The decisions of opening the main window: bring a visible one forward; open it under the tray icon once the
// host has placed the icon; wait for a host that has not placed it yet (about two seconds, one chain however
// often the user asks); and otherwise open it at the fallback corner, so that opening always ends with a
// visible window. The desktop is reached only through the functions given.
class FocusWindowOpening {
public:
    struct Desktop {
        std::function<bool()> windowVisible;
        std::function<bool()> trayAvailable;
        // The icon's area on the screen once the host placed it.
        std::function<std::optional<QRect>()> trayIconGeometry;
        std::function<void(const QRect& icon)> showNearIcon;
        std::function<void()> showAtFallback;
        // Raises and activates the visible window.
        std::function<void()> activate;
    };
    enum class Result { Activated, OpenedAtIcon, Waiting, OpenedAtFallback };

    FocusWindowOpening(Desktop desktop, OpenRetryChain::Schedule schedule);

    Result open();
    const OpenRetryChain& retries() const { return m_retries; }

private:
    Desktop m_desktop;
    OpenRetryChain m_retries;
};

} // namespace tavrine::ui

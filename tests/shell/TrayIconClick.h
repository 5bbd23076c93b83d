#pragma once

#include "tavrine/platform/x11/X11Connection.h"

#include <QRect>
#include <optional>

namespace tavrine::shell {
class TrayStatusLabel;
}

namespace tavrine::test {

// The tray icon's own X window: Qt draws the icon in a window of its own, which the tray host reparents into its
// panel. None while the application shows no icon.
std::optional<platform::XWindowId> trayIconWindow();

// The icon's place once the host has laid its panel out and mapped the icon, and the label reports the place the
// server has. (The host may still give the icon its final height after that.) None when that does not come to
// pass within `seconds`.
std::optional<QRect> settledTrayIcon(const shell::TrayStatusLabel& tray, double seconds);

// Clicks the middle of the tray icon the way a user does: only once the icon is on screen where the tray host
// finally put it, with the pointer resting on the icon itself. Answers false when that does not come to pass
// within `seconds`. `button` 3 opens the icon's context menu.
bool clickTrayIcon(double seconds, int button = 1);

} // namespace tavrine::test

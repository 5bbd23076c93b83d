#pragma once

#include <QString>
#include <optional>

namespace tavrine {

// The colour state of the menu-bar item while a session runs: no colour, on track, off track, drift pending.
enum class MenuBarSessionBackground { None, Relevant, Unrelated, DriftPending };

// "none", "relevant", "unrelated" or "driftPending".
QString rawValue(MenuBarSessionBackground background);
// Matches the raw value exactly (case counts).
std::optional<MenuBarSessionBackground> menuBarSessionBackgroundFromRawValue(const QString& text);

} // namespace tavrine

#pragma once

#include <QString>

#include <optional>

namespace tavrine::capture {

// The page address a browser's tool bar shows, from the text recognised in the window's top band: the first word,
// top to bottom, shaped as a host name (letters, digits and hyphens in dotted labels ending in a top-level label of
// letters, a dotted IPv4 address, or localhost), with an optional port and path, and a scheme only when the screen
// shows one (http or https). A browser shows most addresses without their scheme: none is made up. None when no word
// fits.
std::optional<QString> addressFromToolbarText(const QString& text);

// The tool bar's part of a browser window's image, as a fraction of its height from the top.
inline constexpr double toolbarBand = 0.2;

} // namespace tavrine::capture

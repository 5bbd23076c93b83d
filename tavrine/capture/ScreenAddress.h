#pragma once

#include "tavrine/core/Cancellation.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QString>

#include <optional>

namespace tavrine::capture {

// The page address a browser's tool bar shows, from the text recognised in the window's top band: the first word,
// top to bottom, shaped as a host name (letters, digits and hyphens in dotted labels ending in a top-level label of
// letters, a dotted IPv4 address, or localhost), with an optional port and path, and a scheme only when the screen
// shows one (http or https). A browser shows most addresses without their scheme: none is made up. None when no word
// fits.
std::optional<QString> addressFromToolbarText(const QString& text);

// The page address shown in the top band of a browser window's image (its tool bar): the band's lines, top to
// bottom, until one holds an address as addressFromToolbarText finds it. A line counts however unsure the
// recognizer is of it: it rates an address, one long word of digits, dots and slashes, far below its reading (a
// tool bar's "127.0.0.1:18765/lighthouse.html", read right, scores 0 of 100), and the shape of an address is the
// stricter test. Runs on the OCR thread; throws CancelledError when `cancel` has fired.
QCoro::Task<std::optional<QString>> readScreenAddress(QImage band, CancellationToken cancel = {});

// The tool bar's part of a browser window's image, as a fraction of its height from the top.
inline constexpr double toolbarBand = 0.2;

} // namespace tavrine::capture

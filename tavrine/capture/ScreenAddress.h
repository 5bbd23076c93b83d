#pragma once

#include "tavrine/core/Cancellation.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <optional>

namespace tavrine::capture {

// The first word of `text` shaped as the page address an address bar shows: a host in lower case (as browsers
// show every host) that is a dotted name ending in a top-level domain, a dotted IPv4 address or localhost, with an
// optional port and path, and a scheme only when the bar shows one (http or https). A browser shows most addresses
// without their scheme: none is made up. File and product names ("notes.txt", "Node.js", "README.md") are no
// addresses. None when no word fits.
std::optional<QString> addressFromToolbarText(const QString& text);

// Whether a line of a browser's tool-bar band shows the start of the window's title, as the tab strip shows the
// page on show: the title's first letters and digits (without the browser's name after its last dash, when
// enough is left) appear in the line, ignoring case and everything else, one misread among them allowed. A title
// too short to tell shows nowhere.
bool showsTitleStart(const QString& line, const QString& windowTitle);

// The band's line boxes in rows, top to bottom, each row's boxes left to right: boxes side by side on one
// level (each overlapping the row's first over at least half of the lower of the two) share a row.
QList<QList<QRect>> rowsOfBoxes(QList<QRect> boxes);

// The page address shown in the top band of a browser window's image (its tool bar), read off the address bar
// alone: the tab strip is the first row of the band that shows the start of `windowTitle`, the address bar the
// row below it, and the address the first address-shaped word of that row that starts right of the navigation
// buttons. The bar's row is read with the recognizer limited to the characters of addresses. Nothing from the
// tab strip or any other row; none when no such row is found. Runs on the OCR thread; throws CancelledError when
// `cancel` has fired.
QCoro::Task<std::optional<QString>> readScreenAddress(QImage band, QString windowTitle, CancellationToken cancel = {});

// The tool bar's part of a browser window's image, as a fraction of its height from the top.
inline constexpr double toolbarBand = 0.2;

} // namespace tavrine::capture

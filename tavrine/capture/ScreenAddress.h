#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/ocr/PageReader.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <atomic>
#include <optional>

namespace tavrine::capture {

// The first word of `text` shaped as the page address an address bar shows: a host in lower case (as browsers
// show every host) that is a dotted name ending in a top-level domain, a dotted IPv4 address or localhost, with an
// optional port and path, and a scheme only when the bar shows one (http or https). A browser shows most addresses
// without their scheme: none is made up. File and product names ("notes.txt", "Node.js", "README.md") are no
// addresses. None when no word fits.
std::optional<QString> addressFromToolbarText(const QString& text);

// Whether a line of a browser's tool-bar band shows the window's title, as the tab strip shows the page on show:
// the title's first or last letters and digits (without the browser's name after its last dash, when enough is
// left) appear in the line, ignoring case, look-alike letters ("I", "l" and "1"; "rn" and "m") and everything else,
// one misread among them allowed. An address in the line is the bar's and shows no title, unless the title holds
// one itself. A title too short to tell shows nowhere.
bool showsTitle(const QString& line, const QString& windowTitle);

// The band's line boxes in rows, top to bottom, each row's boxes left to right: boxes side by side on one
// level (each overlapping the row's first over at least half of the lower of the two) share a row.
QList<QList<QRect>> rowsOfBoxes(QList<QRect> boxes);

// How a bar's line is read: enlarged, and its ink darkened.
struct BarLook {
    double enlargement = 2.0;
    double inkGain = 4.0;
};

// The words of the line in `box` of a prepared page (PageReader::preparePage) as an address bar is read in `look`,
// in the characters of addresses, each character with the recognizer's confidence and box. Their boxes lie on the
// page. Runs on the OCR thread.

QList<OcrWord> readBarWords(PageReader& reader, const QImage& page, const QRect& box,
                            const std::atomic<bool>& cancelled, BarLook look = {});

// What reading a browser window's top band for its address came to: whether the bar showed an address-shaped
// word, the word as read, and the address when it was taken, else what made it doubtful.
struct BarReading {
    bool found = false;
    std::optional<QString> address;
    QString word;
    QString doubt;
    // The bar shows the address cut (an ellipsis, no room after it): no look at it reads it whole.
    bool shownCut = false;
    // How many looks the bar's line was read in.
    int looks = 0;
};

// The reading of readScreenAddress, on the OCR thread's reader.
BarReading readBarAddress(PageReader& reader, const QImage& band, const QString& windowTitle,
                          const std::atomic<bool>& cancelled);

// The page address shown in the top band of a browser window's image, read off the address bar alone. The bar is
// the window's top row unless the tab strip is there (a header bar holding the navigation, the address and the
// window's buttons, or a tool bar at the top), else the row below the tab strip, the first row of the band that
// shows the start of `windowTitle`. The address is the first address-shaped word of the bar that starts right of
// the navigation buttons, read with the recognizer limited to the characters of addresses, and only when the
// recognizer is sure of every one of its characters: an address read unsurely gives none. Nothing from the tab
// strip or any other row. Runs on the OCR thread; throws CancelledError when `cancel` has fired.
QCoro::Task<std::optional<QString>> readScreenAddress(QImage band, QString windowTitle, CancellationToken cancel = {});

// The tool bar's part of a browser window's image, as a fraction of its height from the top.
inline constexpr double toolbarBand = 0.2;

} // namespace tavrine::capture

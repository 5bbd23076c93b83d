#include "tavrine/capture/ScreenAddress.h"
#include "TextImages.h"
#include "support/TestSupport.h"
#include "tavrine/ocr/TextRecognition.h"

#include "Printing.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace tavrine;
using capture::addressFromToolbarText;
using capture::showsTitleStart;

namespace {

constexpr double patience = 120;

// A browser's tool-bar band as Chromium draws it: a tab strip with the page's tab, then the tool bar with the back,
// forward and reload buttons and the address field, then the top of the page. An empty `address` draws a tool bar
// without a field; with `falkon`, the bar is Falkon's: a framed white field on a grey tool bar, the address in
// smaller grey writing.
QImage drawnBand(const QString& tabTitle, const QString& address, const QString& pageLine, bool falkon = false) {
    QImage band(1000, 200, QImage::Format_RGB32);
    band.fill(QColor(0xde, 0xe3, 0xeb));
    QPainter painter(&band);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(8, 6, 250, 44), 8, 8);
    painter.fillRect(QRect(0, 40, 1000, 160), Qt::white);
    if (falkon) {
        painter.fillRect(QRect(0, 40, 1000, 50), QColor(0xef, 0xef, 0xef));
        painter.setPen(QColor(0xa0, 0xa0, 0xa0));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(124.5, 50.5, 740, 24));
        painter.setPen(Qt::NoPen);
    } else if (!address.isEmpty()) {
        painter.setBrush(QColor(0xee, 0xf1, 0xf6));
        painter.drawRoundedRect(QRectF(124, 46, 740, 34), 17, 17);
    }
    painter.end();
    test::TextStyle small;
    small.pixelSize = 14;
    small.ink = QColor(0x1f, 0x1f, 0x1f);
    test::drawText(band, QPoint(24, 28), tabTitle, small);
    test::drawText(band, QPoint(236, 28), QStringLiteral("\u00d7"), small);
    test::TextStyle buttons = small;
    buttons.pixelSize = 20;
    test::drawText(band, QPoint(14, 70), QStringLiteral("\u2190"), buttons);
    test::drawText(band, QPoint(50, 70), QStringLiteral("\u2192"), buttons);
    test::drawText(band, QPoint(86, 70), QStringLiteral("\u21bb"), buttons);
    // Chromium's bar writing at this size ends ".html" in a stroke that reads as "!" unless the recognizer knows
    // it reads an address; Falkon's grey at its size reads only darkened.
    test::TextStyle bar = small;
    bar.pixelSize = falkon ? 13 : 15;
    if (falkon)
        bar.ink = QColor(0x8c, 0x8c, 0x8c);
    test::drawText(band, QPoint(160, 68), address, bar);
    test::TextStyle page;
    page.pixelSize = 20;
    test::drawText(band, QPoint(24, 150), pageLine, page);
    return band;
}

std::optional<QString> readBand(const QImage& band, const QString& windowTitle) {
    auto outcome = test::run(capture::readScreenAddress(band, windowTitle), patience);
    EXPECT_TRUE(outcome.finished);
    test::rethrow(outcome);
    return outcome.value.value_or(QStringLiteral("<no result>"));
}

} // namespace

TEST(AddressFromToolbarText, TakesTheFirstLowerCaseHostShapedWordAndNeverMakesUpAScheme) {
    struct Case {
        const char* text;
        std::optional<QString> address;
    };
    const Case cases[] = {
        {"< > C docs.example.com/q3?tab=2 ☆", QStringLiteral("docs.example.com/q3?tab=2")},
        {"Not secure 127.0.0.1:35181/page.html", QStringLiteral("127.0.0.1:35181/page.html")},
        {"https://mail.example.org/inbox", QStringLiteral("https://mail.example.org/inbox")},
        {"localhost:3000", QStringLiteral("localhost:3000")},
        {"booking.com/x", QStringLiteral("booking.com/x")},
        {"en.wikipedia.org/wiki/Main_Page", QStringLiteral("en.wikipedia.org/wiki/Main_Page")},
        {"Search Google or type a URL", std::nullopt},
        {"ftp://files.example.com/a", std::nullopt},
        {"version 1.2 of report.v2", std::nullopt},
        // File and product names: no top-level domain, or a host in capitals, as no bar shows one.
        {"notes.txt - Node.js guide", std::nullopt},
        {"README.md", std::nullopt},
        {"Booking.com", std::nullopt},
        {"Docs.example.com/q3", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(addressFromToolbarText(QString::fromUtf8(c.text)), c.address) << c.text;
}

TEST(ShowsTitleStart, FindsTheTabOfThePageOnShowAmongIconsAndMisreadings) {
    struct Case {
        const char* line;
        const char* windowTitle;
        bool shows;
    };
    const Case cases[] = {
        {"v @ notes.txt-Node.js guide x +", "notes.txt - Node.js guide - Chromium", true},
        {"¥ @ Booking.com x +", "Booking.com - Chromium", true},
        // Cut by the tab's width, one letter misread.
        {"f)_ Liqhthouse kee", "Lighthouse keepers — Mozilla Firefox", true},
        {"Gmail", "Gmail - Chromium", true},
        {"CG @ 127.0.0.1:18765/notes.html", "notes.txt - Node.js guide - Chromium", false},
        // Too little of a title to tell a tab by: the close button's "x" would do.
        {"x +", "X - Chromium", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(showsTitleStart(QString::fromUtf8(c.line), QString::fromUtf8(c.windowTitle)), c.shows) << c.line;
}

TEST(ReadScreenAddress, ReadsTheAddressBarBelowTheTabStripAndNothingElse) {
    struct Case {
        const char* name;
        QString tab;
        QString address;
        QString pageLine;
        QString windowTitle;
        std::optional<QString> read;
        bool falkon = false;
    };
    const Case cases[] = {
        {"a dotted tab title", QStringLiteral("notes.txt - Node.js guide"),
         QStringLiteral("127.0.0.1:18765/notes.html"), QStringLiteral("Reading files in Node.js"),
         QStringLiteral("notes.txt - Node.js guide - Chromium"), QStringLiteral("127.0.0.1:18765/notes.html")},
        {"a tab title that is a domain over another host", QStringLiteral("Booking.com"),
         QStringLiteral("127.0.0.1:18765/lighthouse.html"), QStringLiteral("Hotels in Lisbon"),
         QStringLiteral("Booking.com - Chromium"), QStringLiteral("127.0.0.1:18765/lighthouse.html")},
        {"no address bar below the tab strip", QStringLiteral("booking.com/lisbon"), QString(),
         QStringLiteral("booking.com/rooms has three nights"), QStringLiteral("booking.com/lisbon - Chromium"),
         std::nullopt},
        {"no tab of the window's title", QStringLiteral("Error response"), QStringLiteral("127.0.0.1:18765/api"),
         QStringLiteral("Error code: 404"), QStringLiteral("Hotels in Lisbon - Chromium"), std::nullopt},
        {"a bar in light grey", QStringLiteral("Lighthouse keepers"),
         QStringLiteral("http://localhost:18765/lighthouse.htm"), QStringLiteral("The lighthouse keepers"),
         QStringLiteral("Lighthouse keepers - Falkon"), QStringLiteral("http://localhost:18765/lighthouse.htm"), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readBand(drawnBand(c.tab, c.address, c.pageLine, c.falkon), c.windowTitle), c.read) << c.name;

    // The address bar's alphabet stays with it: a page read afterwards keeps its other characters.
    test::TextStyle style;
    const QImage page = test::renderLines(QSize(700, 120), {QStringLiteral("Ready, set, go!")}, style, 30, 60);
    auto outcome = test::run(recognizeText(page, 0), patience);
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.value.value_or(QString()), QStringLiteral("Ready, set, go!"));
}

TEST(ReadScreenAddress, RealBarsGiveTheirExactAddressOrNone) {
    // Tool-bar bands of real browsers on the test desktop (the top of the window as a capture takes it, cut below
    // the bar), each page served on 127.0.0.1:43389, with the window's title as the capture had it.
    struct Case {
        const char* file;
        const char* windowTitle;
        std::optional<QString> read;
    };
    const QString port = QStringLiteral("127.0.0.1:43389/");
    const Case cases[] = {
        // Chromium's bar shows no scheme, and ".html" in a stroke that reads as "!" or "I" unless it is sure.
        {"chromium-page", "Page of notes - Chromium", port + "page.html"},
        {"chromium-lighthouse", "Lighthouse keepers - Chromium", port + "lighthouse.html"},
        // Firefox and Falkon draw all but the host in light grey, small.
        {"firefox-page", "Page of notes \u2014 Mozilla Firefox", "http://" + port + "page.html"},
        {"firefox-bilge-pump", "Bilge pump \u2014 Mozilla Firefox", "http://" + port + "bilge-pump.html"},
        {"falkon-mooring", "Mooring lines - Falkon", "http://" + port + "mooring.htm"},
        // The address in a header bar, the window's only tab; above the tabs; in a tool bar at the top, with no
        // tabs.
        {"epiphany-quay", "Quay fenders", "http://" + port + "quay_fenders.html"},
        {"epiphany-tabs-mooring", "Mooring lines", "http://" + port + "mooring.htm"},
        {"netsurf-gull", "Gulls of the pier - NetSurf", "http://" + port + "gull.html"},
        // A character the recognizer is unsure of: none, whether the guess is right or not. Read without the
        // check, these give ".htmI" for ".html" (Falkon), "guil.ntmI" (Epiphany), "anchorhtmi?id=7" (NetSurf), and
        // ".htm" with a letter left out (Firefox).
        {"falkon-page", "Page of notes - Falkon", std::nullopt},
        {"epiphany-tabs-gull", "Gulls of the pier", std::nullopt},
        {"netsurf-anchor", "Anchor seven - NetSurf", std::nullopt},
        {"firefox-millpond", "Millpond notes \u2014 Mozilla Firefox", std::nullopt},
        // The layout's box ends inside the host ("27.0.0.1" left for the next box).
        {"falkon-lighthouse", "Lighthouse keepers - Falkon", std::nullopt},
        // The recognizer parts "minutes.html" after the dot.
        {"epiphany-tabs-minutes", "Club minutes", std::nullopt},
    };
    for (const Case& c : cases) {
        const QImage band(QStringLiteral(TAVRINE_TEST_BARS "/%1.png").arg(QLatin1String(c.file)));
        ASSERT_FALSE(band.isNull()) << c.file;
        EXPECT_EQ(readBand(band, QString::fromUtf8(c.windowTitle)), c.read) << c.file;
    }
}

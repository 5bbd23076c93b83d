#include "tavrine/capture/ScreenAddress.h"
#include "TextImages.h"
#include "support/TestSupport.h"
#include "tavrine/ocr/TextRecognition.h"

#include "Printing.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace tavrine;
using capture::addressFromToolbarText;
using capture::showsTitle;

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
        // Look-alikes read either way ("I", "l" and "1"; "rn" and "m").
        {"@ lll one x", "Ill one - Chromium", true},
        {"@ Ernie and Emie x", "Ernie and Ernie - Chromium", true},
        // An address holding the title's words is the bar's, unless the title is an address itself.
        {"C @ 127.0.0.1:43517/page-of-notes.html", "Page of notes - Chromium", false},
        {"@ evil.example.com/login x +", "evil.example.com/login - Chromium", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(showsTitle(QString::fromUtf8(c.line), QString::fromUtf8(c.windowTitle)), c.shows) << c.line;
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
        // This face stands its capitals as high as its tall small letters: an "l" in it might be an "I", so the
        // addresses that must be read hold none.
        {"a dotted tab title", QStringLiteral("notes.txt - Node.js guide"), QStringLiteral("127.0.0.1:18765/notes.htm"),
         QStringLiteral("Reading files in Node.js"), QStringLiteral("notes.txt - Node.js guide - Chromium"),
         QStringLiteral("127.0.0.1:18765/notes.htm")},
        {"an l that might be an I", QStringLiteral("notes.txt - Node.js guide"),
         QStringLiteral("127.0.0.1:18765/notes.html"), QStringLiteral("Reading files in Node.js"),
         QStringLiteral("notes.txt - Node.js guide - Chromium"), std::nullopt},
        {"a tab title that is a domain over another host", QStringLiteral("Booking.com"),
         QStringLiteral("127.0.0.1:18765/harbour.htm"), QStringLiteral("Hotels in Lisbon"),
         QStringLiteral("Booking.com - Chromium"), QStringLiteral("127.0.0.1:18765/harbour.htm")},
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
    const QString later = QStringLiteral("127.0.0.1:43517/");
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
        // A character the recognizer is unsure of at the first size: none, whether the guess is right or not, unless
        // another look reads every character surely. Read without the check, these give ".htmI" for ".html"
        // (Falkon), "guil.ntmI" (Epiphany), "anchorhtmi?id=7" (NetSurf), and ".htm" with a letter left out (Firefox).
        {"falkon-page", "Page of notes - Falkon", "http://" + port + "page.html"},
        {"epiphany-tabs-gull", "Gulls of the pier", "http://" + port + "gull.html"},
        {"netsurf-anchor", "Anchor seven - NetSurf", std::nullopt},
        {"firefox-millpond", "Millpond notes \u2014 Mozilla Firefox", "http://" + port + "millpond.html"},
        // The field's light frame, blanked for the layout, no longer ends the layout's box inside the host.
        {"falkon-lighthouse", "Lighthouse keepers - Falkon", "http://" + port + "lighthouse.html"},
        // The recognizer parts "minutes.html" after the dot at the first size, not at another.
        {"epiphany-tabs-minutes", "Club minutes", "http://" + port + "rowing/club/minutes.html"},
        // Read surely and wrongly at one size, each character over the floor: a capital taken for its small letter
        // ("iris", "install", "Iv") or an "l" ("Chapter-lv"), "rn" made one "m" ("mrn", "mnm", "mm"), a capital O
        // taken for a zero ("0000"). Their glyphs belie the reading, and another look reads some of them right.
        {"chromium-user-iris", "Iris profile - Chromium", std::nullopt},
        {"chromium-guide-install", "Installing the tool - Chromium", std::nullopt},
        {"chromium-chapter-iv", "Chapter four of the log - Chromium", later + "Chapter-IV.html"},
        {"firefox-chapter-iv", "Chapter four of the log \u2014 Mozilla Firefox", std::nullopt},
        {"firefox-jetty-iv", "Jetty IV \u2014 Mozilla Firefox", "http://" + port + "jetty-IV.html"},
        {"netsurf-jetty-iv", "Jetty IV - NetSurf", std::nullopt},
        {"firefox-rnrn", "Ernie and Ernie \u2014 Mozilla Firefox", std::nullopt},
        {"falkon-rnrn", "Ernie and Ernie - Falkon", std::nullopt},
        {"netsurf-rnrn", "Ernie and Ernie - NetSurf", std::nullopt},
        {"falkon-zeros", "Zeros and ohs - Falkon", std::nullopt},
        // A bar without a capital or a digit: its small letters measured against each other.
        {"chromium-old-mill", "The old mill - Chromium", QStringLiteral("localhost/blog/old-mill.html")},
        // "bam-modern" for "barn-modern", "ighthouse" with its first letter left out.
        {"falkon-barn-modern", "Modern barn - Falkon", "http://" + later + "barn-modern.html"},
        {"netsurf-lighthouse", "Lighthouse keepers - NetSurf", "http://" + later + "lighthouse.html"},
        // A 300-character address, longer than the bar: its start and an ellipsis (read as dots), at two window
        // widths; its start fading out at the field's end; the field scrolled to its end, its start hidden (what
        // shows begins like a host). What a bar shows of an address is no address.
        {"chromium-long-cut", "Harbour log - Chromium", std::nullopt},
        {"chromium-long-maximized", "Harbour log - Chromium", std::nullopt},
        {"firefox-long-faded", "Harbour log \u2014 Mozilla Firefox", std::nullopt},
        {"chromium-long-scrolled", "Harbour log - Chromium", std::nullopt},
    };
    for (const Case& c : cases) {
        const QImage band(QStringLiteral(TAVRINE_TEST_BARS "/%1.png").arg(QLatin1String(c.file)));
        ASSERT_FALSE(band.isNull()) << c.file;
        EXPECT_EQ(readBand(band, QString::fromUtf8(c.windowTitle)), c.read) << c.file;
    }
}

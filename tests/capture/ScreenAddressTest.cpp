#include "tavrine/capture/ScreenAddress.h"

#include "Printing.h"

#include <gtest/gtest.h>

using tavrine::capture::addressFromToolbarText;

TEST(AddressFromToolbarText, TakesTheFirstHostShapedWordAndNeverMakesUpAScheme) {
    struct Case {
        const char* text;
        std::optional<QString> address;
    };
    const Case cases[] = {
        {"Harbour log - Chromium\n< > C docs.example.com/q3?tab=2 ☆", QStringLiteral("docs.example.com/q3?tab=2")},
        {"Not secure 127.0.0.1:35181/page.html", QStringLiteral("127.0.0.1:35181/page.html")},
        {"https://mail.example.org/inbox", QStringLiteral("https://mail.example.org/inbox")},
        {"localhost:3000", QStringLiteral("localhost:3000")},
        {"< > C search.example.net/find\nRead more on news.example.com", QStringLiteral("search.example.net/find")},
        {"Search Google or type a URL", std::nullopt},
        {"ftp://files.example.com/a", std::nullopt},
        {"version 1.2 of report.v2", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(addressFromToolbarText(QString::fromUtf8(c.text)), c.address) << c.text;
}

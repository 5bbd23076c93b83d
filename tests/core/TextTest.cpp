#include "tavrine/core/Numbers.h"
#include "tavrine/core/Text.h"

#include <gtest/gtest.h>
#include <limits>

using namespace tavrine;

TEST(Text, CollapsesEveryUnicodeWhitespace) {
    const QString text = QStringLiteral("  a\tb\n\nc\u0085d\u2028e\u2029f\u00a0g  ");
    EXPECT_EQ(text::collapseWhitespace(text), QStringLiteral("a b c d e f g"));
    EXPECT_EQ(text::collapseWhitespace(QStringLiteral(" \n\t ")), QString());
}

TEST(Text, CountsUserPerceivedCharacters) {
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"); // one family emoji
    const QString flag = QStringLiteral("\U0001F1E9\U0001F1EA");                           // one flag
    const QString accented = QStringLiteral("e\u0301");                                    // e + combining acute
    EXPECT_EQ(text::graphemeCount(family), 1);
    EXPECT_EQ(text::graphemeCount(flag), 1);
    EXPECT_EQ(text::graphemeCount(accented), 1);
    EXPECT_EQ(text::graphemeCount(QStringLiteral("ab\r\ncd")), 5);
    EXPECT_EQ(text::graphemeCount(QString()), 0);
    const QString mixed = QStringLiteral("a") + family + accented + QStringLiteral("z");
    EXPECT_EQ(text::graphemeCount(mixed), 4);
    EXPECT_EQ(text::graphemePrefix(mixed, 2), QStringLiteral("a") + family);
    EXPECT_EQ(text::graphemePrefix(mixed, 0), QString());
    EXPECT_EQ(text::graphemePrefix(mixed, 10), mixed);
    EXPECT_EQ(text::graphemeDropFirst(mixed, 3), QStringLiteral("z"));
    EXPECT_EQ(text::graphemeSuffix(mixed, 2), accented + QStringLiteral("z"));
}

TEST(Text, CutsAtTheLimitWithAMarkerOnlyWhenLonger) {
    const QString exact(240, QLatin1Char('x'));
    EXPECT_EQ(text::graphemeCut(exact, 240), exact);
    const QString longer(241, QLatin1Char('x'));
    const QString cut = text::graphemeCut(longer, 240);
    EXPECT_EQ(text::graphemeCount(cut), 241);
    EXPECT_TRUE(cut.endsWith(QChar(0x2026)));
    // A combining mark is never separated from its base.
    const QString marks = QString(239, QLatin1Char('x')) + QStringLiteral("e\u0301tail");
    EXPECT_EQ(text::graphemeCut(marks, 240), QString(239, QLatin1Char('x')) + QStringLiteral("e\u0301\u2026"));
}

TEST(Text, ShortestDecimalFormIsLocaleFreeAndRoundTrips) {
    EXPECT_EQ(text::shortestDecimal(2.0), QStringLiteral("2.0"));
    EXPECT_EQ(text::shortestDecimal(0.125), QStringLiteral("0.125"));
    EXPECT_EQ(text::shortestDecimal(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(text::shortestDecimal(-3.0), QStringLiteral("-3.0"));
    EXPECT_EQ(text::shortestDecimal(1e21), QStringLiteral("1e+21"));
    const double odd = 0.30000000000000004;
    EXPECT_EQ(text::shortestDecimal(odd).toDouble(), odd);
    std::locale::global(std::locale("C"));
    setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(text::shortestDecimal(1.5), QStringLiteral("1.5"));
    setlocale(LC_ALL, "C");
}

TEST(Numbers, NonFiniteNeverBecomesAnInteger) {
    EXPECT_EQ(wholeNumber(std::nan("")), 0);
    EXPECT_EQ(wholeNumber(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(wholeNumber(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(wholeNumber(1e300), std::numeric_limits<qint64>::max());
    EXPECT_EQ(wholeNumber(-7.9), -7);
    EXPECT_EQ(roundedNumber(2.5), 3);
    EXPECT_EQ(roundedNumber(-2.5), -3);
    EXPECT_EQ(roundedNumber(std::nan("")), 0);
    EXPECT_EQ(finiteOrZero(std::numeric_limits<double>::infinity()), 0.0);
}

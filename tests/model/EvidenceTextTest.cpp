#include "tavrine/model/EvidenceText.h"

#include <gtest/gtest.h>

using namespace tavrine;

TEST(ChromeLabel, FixedLabelsOwnNameAndFirstWord) {
    const QString app = QStringLiteral("Firefox Web Browser");
    EXPECT_TRUE(isChromeLabel(QStringLiteral("  Close \n"), app));
    EXPECT_TRUE(isChromeLabel(QStringLiteral("OK"), QString()));
    EXPECT_TRUE(isChromeLabel(QStringLiteral(" \t "), app));
    EXPECT_TRUE(isChromeLabel(QStringLiteral("firefox web  BROWSER"), app));
    EXPECT_TRUE(isChromeLabel(QStringLiteral("Firefox"), app));
    EXPECT_TRUE(isChromeLabel(QStringLiteral("FIREFOX Settings"), app));
    EXPECT_FALSE(isChromeLabel(QStringLiteral("Firefox release notes"), app)) << "three words never match by the first";
    EXPECT_FALSE(isChromeLabel(QStringLiteral("Firefox"), QString()));
    EXPECT_TRUE(isChromeLabel(QStringLiteral("Send follow-up"), app));
    EXPECT_FALSE(isChromeLabel(QStringLiteral("Send follow up"), app));
    EXPECT_FALSE(isChromeLabel(QStringLiteral("New Tab Page"), app));
    EXPECT_TRUE(isChromeLabel(QStringLiteral("new   tab"), app));
}

TEST(UsefulLabel, LengthBoundsAfterCollapsing) {
    const QString app = QStringLiteral("Editor");
    EXPECT_FALSE(isUsefulLabel(QStringLiteral("ab"), app));
    EXPECT_TRUE(isUsefulLabel(QStringLiteral("a b"), app));
    EXPECT_TRUE(isUsefulLabel(QStringLiteral("a    b"), app)) << "runs of blanks count as one";
    EXPECT_TRUE(isUsefulLabel(QString(120, QLatin1Char('x')), app));
    EXPECT_FALSE(isUsefulLabel(QString(121, QLatin1Char('x')), app));
    // Characters, not UTF-16 units: three emoji are a useful length, 120 of them too.
    QString emoji;
    for (int i = 0; i < 120; ++i)
        emoji += QStringLiteral("\U0001F600");
    EXPECT_TRUE(isUsefulLabel(emoji, app));
    EXPECT_FALSE(isUsefulLabel(QStringLiteral("Settings"), app));
}

TEST(FocusedValue, PlaceholderChromeAndCut) {
    const QString app = QStringLiteral("Mail");
    EXPECT_EQ(focusedValueText(QStringLiteral(" Search  mail "), QStringLiteral("Search mail"), app), QString());
    EXPECT_EQ(focusedValueText(QStringLiteral("search mail"), QStringLiteral("Search mail"), app),
              QStringLiteral("search mail"))
        << "the placeholder comparison counts case";
    EXPECT_EQ(focusedValueText(QStringLiteral("Cancel"), QString(), app), QString());
    EXPECT_EQ(focusedValueText(QString(200, QLatin1Char('v')), QString(), app), QString(160, QLatin1Char('v')));
    EXPECT_EQ(focusedValueText(QStringLiteral("\n\n"), QString(), app), QString());
}

TEST(ChooseSubject, OrderOfCandidatesAndFallback) {
    const QString app = QStringLiteral("Docs");
    EXPECT_EQ(chooseSubject(app, QStringLiteral("Body text"), {QStringLiteral("Docs"), QStringLiteral("ok")},
                            {QStringLiteral("Quarterly   plan")}, {QStringLiteral("selected words")}),
              QStringLiteral("Quarterly plan"));
    EXPECT_EQ(chooseSubject(app, QStringLiteral("Body text"), {QStringLiteral("Sidebar notes")},
                            {QStringLiteral("Quarterly plan")}, {}),
              QStringLiteral("Sidebar notes"));
    // Candidates longer than 120 characters are skipped, not cut; the focused description comes last.
    EXPECT_EQ(chooseSubject(app, QString(120, QLatin1Char('d')), {QStringLiteral("ab")}, {QString(121, 'h')},
                            {QStringLiteral("  OK  ")}),
              QString(120, QLatin1Char('d')));
    EXPECT_EQ(chooseSubject(app, QString(121, QLatin1Char('d')), {}, {}, {}), QString());
    EXPECT_EQ(chooseSubject(app, QStringLiteral("no"), {}, {}, {}), QString());
}

TEST(EvidenceText, PartsAndTheirConditions) {
    EXPECT_EQ(formatEvidenceText(QStringLiteral("Terminal"), QString(), QString(), QString(), QString()),
              QStringLiteral("App: Terminal."));
    EXPECT_EQ(formatEvidenceText(QString(), QString(), QString(), QString(), QString()), QStringLiteral("App: ."));
    EXPECT_EQ(formatEvidenceText(QStringLiteral("Browser"), QStringLiteral("Plan  draft"),
                                 QStringLiteral("https://example.org/x"), QStringLiteral(" Budget\n2025 "),
                                 QStringLiteral("Total row")),
              QStringLiteral("App: Browser. Window: \"Plan  draft\". Subject: \"Budget 2025\". "
                             "URL: https://example.org/x Focused: Total row."));
    // A subject equal to the title (ignoring case) is not written, and a focused text equal to it is not either.
    EXPECT_EQ(formatEvidenceText(QStringLiteral("A"), QStringLiteral("Plan Draft"), QString(),
                                 QStringLiteral("plan   draft"), QStringLiteral("PLAN DRAFT")),
              QStringLiteral("App: A. Window: \"Plan Draft\"."));
    // With no subject any focused text is written; a file address gives no URL part.
    EXPECT_EQ(formatEvidenceText(QStringLiteral("A"), QStringLiteral("   "), QStringLiteral("file:///tmp/x"), QString(),
                                 QStringLiteral("x")),
              QStringLiteral("App: A. Window: \"   \". Focused: x."));
}

#include "tavrine/session/FocusThiefList.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace tavrine;

namespace {

FocusThiefList sampleList() {
    return FocusThiefList::fromJson(R"({
        "version": 3,
        "browsers": ["firefox", "Google-chrome", "firefox"],
        "thieves": [
            {"id": "video", "name": "Video", "apps": [], "domains": ["video.example", "clips.example"]},
            {"id": "chat", "name": "Chat", "apps": ["org.chat.Desktop", "ChatDesktop"], "domains": ["video.example"]},
            {"id": "shouty", "name": "Shouty", "apps": [], "domains": ["Shouty.example"]}
        ],
        "comment": "keys the list does not know are ignored"
    })");
}

} // namespace

TEST(FocusThiefList, AnyMalformedPartGivesTheEmptyList) {
    const char* broken[] = {
        "",
        "{\"version\": 1, \"browsers\": [], \"thieves\": [",
        // a missing key, at the top and inside an entry
        R"({"browsers": [], "thieves": []})",
        R"({"version": 1, "browsers": []})",
        R"({"version": 1, "browsers": [], "thieves": [{"id": "a", "name": "A", "apps": []}]})",
        // values of the wrong type
        R"({"version": "1", "browsers": [], "thieves": []})",
        R"({"version": 1.5, "browsers": [], "thieves": []})",
        R"({"version": 1, "browsers": ["firefox", 7], "thieves": []})",
        R"({"version": 1, "browsers": [], "thieves": ["a"]})",
        R"({"version": 1, "browsers": [], "thieves": [{"id": "a", "name": "A", "apps": "x", "domains": []}]})",
        R"({"version": 1, "browsers": [], "thieves": [{"id": "a", "name": "A", "apps": [], "domains": [null]}]})",
    };
    for (const char* json : broken) {
        const FocusThiefList list = FocusThiefList::fromJson(json);
        EXPECT_TRUE(list.thieves.isEmpty()) << json;
        EXPECT_TRUE(list.browsers.isEmpty()) << json;
        EXPECT_FALSE(list.match("org.chat.Desktop", "https://video.example/")) << json;
    }
    EXPECT_EQ(FocusThiefList::load("/nonexistent/FocusThieves.json"), FocusThiefList());
}

TEST(FocusThiefList, AnApplicationHitWinsOverAnEarlierSite) {
    const FocusThiefList list = sampleList();
    EXPECT_EQ(list.browsers, QSet<QString>({"firefox", "Google-chrome"}));
    EXPECT_EQ(list.match("ChatDesktop", "https://video.example/watch")->id, "chat");
    // Without an application hit, the first distraction naming the site wins.
    EXPECT_EQ(list.match("firefox", "https://video.example/watch")->id, "video");
    // Application identifiers are compared exactly.
    EXPECT_FALSE(list.match("chatdesktop", ""));
}

TEST(FocusThiefList, SitesMatchTheirHostAndSubdomainsOnly) {
    const FocusThiefList list = sampleList();
    EXPECT_EQ(list.match("firefox", "https://clips.example")->id, "video");
    EXPECT_EQ(list.match("firefox", "https://www.m.clips.example/a?b=c")->id, "video");
    EXPECT_FALSE(list.match("firefox", "https://badclips.example/"));
    EXPECT_FALSE(list.match("firefox", "https://clips.example.evil.test/"));
    // No scheme: read as https, the host lower-cased, blanks trimmed first.
    EXPECT_EQ(list.match("firefox", "  Clips.EXAMPLE/feed \n")->id, "video");
    EXPECT_EQ(list.match("firefox", "http://CLIPS.example:8080/")->id, "video");
    // Other schemes and addresses without a host match no site.
    EXPECT_FALSE(list.match("firefox", "ftp://clips.example/"));
    EXPECT_FALSE(list.match("firefox", ""));
    // A domain written with capitals in the list never matches: domains are compared as written.
    EXPECT_FALSE(list.match("firefox", "https://shouty.example/"));
}

TEST(FocusThiefList, BuiltInListIsCompiledInAndUsable) {
    const FocusThiefList& list = FocusThiefList::builtIn();
    ASSERT_FALSE(list.thieves.isEmpty());

    // Browsers are named both by their desktop-file id and by their WM_CLASS class, as capture derives them; every
    // browser Debian packages with a desktop entry of the category WebBrowser among them.
    for (const char* browser : {"firefox",
                                "firefox-esr",
                                "chromium",
                                "Chromium",
                                "google-chrome",
                                "Google-chrome",
                                "org.mozilla.firefox",
                                "brave-browser",
                                "microsoft-edge",
                                "org.gnome.Epiphany",
                                "org.kde.falkon",
                                "Falkon",
                                "konqbrowser",
                                "org.kde.konqueror",
                                "konqueror",
                                "netsurf-gtk",
                                "Netsurf-gtk",
                                "org.kde.angelfish",
                                "dillo",
                                "links2",
                                "Links",
                                "luakit",
                                "org.qutebrowser.qutebrowser",
                                "morph-browser",
                                "Kristall"})
        EXPECT_TRUE(list.browsers.contains(browser)) << browser;

    QSet<QString> ids;
    for (const FocusThief& thief : list.thieves) {
        EXPECT_FALSE(thief.id.isEmpty());
        EXPECT_FALSE(thief.name.trimmed().isEmpty()) << thief.id.toStdString();
        EXPECT_FALSE(ids.contains(thief.id)) << "duplicate id " << thief.id.toStdString();
        ids.insert(thief.id);
        EXPECT_FALSE(thief.apps.isEmpty() && thief.domains.isEmpty()) << thief.id.toStdString();
        for (const QString& domain : thief.domains) {
            // A domain with capitals, a scheme or a path could never match.
            EXPECT_EQ(domain, domain.toLower()) << domain.toStdString();
            EXPECT_FALSE(domain.contains('/') || domain.contains(':') || domain.startsWith('.'))
                << domain.toStdString();
        }
        // A browser listed as a distraction would make every page a hit.
        for (const QString& app : thief.apps)
            EXPECT_FALSE(list.browsers.contains(app)) << app.toStdString();
    }

    EXPECT_EQ(list.match("org.telegram.desktop", "")->id, "telegram");
    EXPECT_EQ(list.match("firefox", "https://www.youtube.com/watch?v=x")->id, "youtube");
    EXPECT_EQ(list.match("Google-chrome", "old.reddit.com/r/all")->id, "reddit");
    EXPECT_FALSE(list.match("org.gnome.TextEditor", ""));
    EXPECT_FALSE(list.match("firefox", "https://doc.qt.io/qt-6/"));
}

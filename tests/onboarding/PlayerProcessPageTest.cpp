// The player's page over its process, with shell scripts standing in for the player: what the page passes on of
// the lines it reads, what it writes, and that no process outlives the page however the player behaves.
#include "tavrine/onboarding/PlayerProcessPage.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QVariantMap>
#include <csignal>
#include <gtest/gtest.h>

namespace tavrine {
namespace {

bool processExists(qint64 pid) {
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

struct Heard {
    QVariantList messages;
    int crashes = 0;
};

PlayerProcessPage::Program script(const QString& text) {
    return {QStringLiteral("/bin/sh"), {"-c", text}};
}

void listen(PlayerProcessPage& page, Heard& heard) {
    QObject::connect(&page, &RehearsalPlayerPage::message, [&heard](const QVariant& body) { heard.messages << body; });
    QObject::connect(&page, &RehearsalPlayerPage::crashed, [&heard] { ++heard.crashes; });
}

TEST(PlayerProcessPage, PassesOnThePlayersLinesAndReportsItsEnd) {
    const QVariantMap ready{{"event", "ready"}, {"value", 0.0}};
    struct Case {
        const char* name;
        PlayerProcessPage::Program program;
        bool detachFirst;
        QVariantList messages;
        int crashes;
        bool ends;
    };
    const Case cases[] = {
        {"messages in order, anything else ignored",
         script(R"(printf '{"message":{"event":"ready","value":0}}\nnot json\n[1]\n{"message":"text"}\n'; cat)"),
         false,
         {ready, "text"},
         0,
         false},
        {"the page's renderer crashed",
         script(R"(printf '{"crashed":true}\n{"crashed":false}\n{"message":"on"}\n'; cat)"),
         false,
         {"on"},
         1,
         false},
        {"the player ended on its own", script("exit 0"), false, {}, 1, true},
        {"the player was killed", script("kill -9 $$"), false, {}, 1, true},
        {"no such program", {"/nonexistent/player", {}}, false, {}, 1, true},
        {"nothing heard once detached",
         script(R"(read line; printf '{"message":"late"}\n{"crashed":true}\n'; exit 1)"),
         true,
         {},
         0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Heard heard;
        PlayerProcessPage page(QUrl("https://example.invalid"), QString(), c.program);
        listen(page, heard);
        if (c.detachFirst)
            page.detach();
        test::waitUntil(
            [&] {
                return heard.messages.size() >= c.messages.size() && heard.crashes >= c.crashes &&
                       (!c.ends || page.processId() == 0);
            },
            10);
        EXPECT_EQ(heard.messages, c.messages);
        EXPECT_EQ(heard.crashes, c.crashes);
        EXPECT_EQ(page.processId() == 0, c.ends);
    }
}

TEST(PlayerProcessPage, WritesItsCommandsAndLeavesNoProcessBehind) {
    QTemporaryDir dir;
    const QString record = dir.filePath("commands");
    struct Case {
        const char* name;
        QString program;
        bool detach;
    };
    const Case cases[] = {
        {"ends when its input closes, on detach", "cat > " + record, true},
        {"ends when its input closes, with the page", "cat > " + record, false},
        {"ignores its input closing: killed", "trap '' TERM; cat > " + record + "; exec sleep 600", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qint64 pid = 0;
        {
            Heard heard;
            PlayerProcessPage page(QUrl("https://example.invalid"), "http://127.0.0.1:1/api.js", script(c.program));
            listen(page, heard);
            pid = page.processId();
            ASSERT_TRUE(processExists(pid));
            page.load();
            page.runScript("show('a\\'b\nc', 40, false, 0)");
            if (c.detach) {
                page.detach();
                EXPECT_TRUE(test::waitUntil([pid] { return !processExists(pid); }, 10));
                page.runScript("play(0)");
            }
            EXPECT_EQ(heard.crashes, 0);
        }
        EXPECT_TRUE(test::waitUntil([pid] { return !processExists(pid); }, 10));
        QFile file(record);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArrayList expected{R"({"load":{"api":"http://127.0.0.1:1/api.js","origin":"https://example.invalid"}})",
                                R"x({"run":"show('a\\'b\nc', 40, false, 0)"})x"};
        if (c.detach)
            expected << R"({"detach":true})";
        EXPECT_EQ(file.readAll(), expected.join('\n') + '\n');
    }
}

} // namespace
} // namespace tavrine

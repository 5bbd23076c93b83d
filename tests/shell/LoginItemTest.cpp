#include "fakes/FakeLoginItem.h"
#include "support/LogCapture.h"
#include "tavrine/platform/XdgLoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::platform;
using namespace tavrine::test;

namespace {

using Status = LoginItem::Status;

// The Exec line as a desktop reads it: the key file's escapes, then the quoting rules, then the field codes.
QStringList readExec(QString value) {
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            unescaped += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next == u'r' ? QChar(u'\r') : next;
        } else {
            unescaped += value[i];
        }
    }
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < unescaped.size())
                word += unescaped[++i];
            else if (c == u'"')
                quoted = false;
            else
                word += c;
        } else if (c == u'"') {
            quoted = inWord = true;
        } else if (c == u' ') {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    for (QString& w : words)
        w.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return words;
}

QString execLine() {
    QFile file(XdgLoginItem::entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith("Exec="))
            return QString::fromUtf8(line.mid(5));
    return {};
}

void writeEntry(const QByteArray& text) {
    QDir().mkpath(QFileInfo(XdgLoginItem::entryPath()).absolutePath());
    QFile file(XdgLoginItem::entryPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

struct CleanEntry {
    CleanEntry() { QFile::remove(XdgLoginItem::entryPath()); }
    ~CleanEntry() { QFile::remove(XdgLoginItem::entryPath()); }
};

} // namespace

TEST(XdgLoginItem, StatesFollowTheEntry) {
    CleanEntry clean;
    XdgLoginItem item([] { return QStringLiteral("/opt/tavrine/tavrine"); });
    EXPECT_EQ(item.status(), Status::NotRegistered);
    item.registerItem();
    EXPECT_EQ(item.status(), Status::Enabled);

    const QByteArray base = "[Desktop Entry]\nType=Application\nExec=/opt/tavrine/tavrine --launched-at-login\n";
    struct Case {
        QByteArray extra;
        Status expected;
    };
    const QList<Case> cases = {
        {"Hidden=true\n", Status::RequiresApproval},
        {"Hidden=false\n", Status::Enabled},
        {"X-GNOME-Autostart-enabled=false\n", Status::RequiresApproval},
        {"X-GNOME-Autostart-enabled=true\n", Status::Enabled},
        // Keys of another group are not the entry's.
        {"[Desktop Action x]\nHidden=true\n", Status::Enabled},
    };
    for (const Case& c : cases) {
        writeEntry(base + c.extra);
        EXPECT_EQ(item.status(), c.expected) << c.extra.toStdString();
    }

    // Registering again is the user's approval: the entry is written afresh.
    writeEntry(base + "Hidden=true\n");
    item.registerItem();
    EXPECT_EQ(item.status(), Status::Enabled);

    item.unregisterItem();
    EXPECT_EQ(item.status(), Status::NotRegistered);
    EXPECT_NO_THROW(item.unregisterItem());

    XdgLoginItem lost([] { return QString(); });
    EXPECT_EQ(lost.status(), Status::NotFound);
    EXPECT_THROW(lost.registerItem(), LoginItemError);
}

TEST(XdgLoginItem, ExecStartsTheProgramWithTheMarkerWhateverItsPath) {
    CleanEntry clean;
    const QStringList programs = {
        QStringLiteral("/opt/tavrine/tavrine"),
        QStringLiteral("/home/ann/My Apps/tavrine"),
        QStringLiteral("/home/ann/100%/tavrine"),
        QStringLiteral("/home/ann/\"quoted\" 'single'/tavrine"),
        QStringLiteral("/home/ann/back\\slash/$HOME/`cmd`/tavrine"),
        QStringLiteral("/home/ann/line\nbreak/tavrine"),
    };
    for (const QString& program : programs) {
        XdgLoginItem item([program] { return program; });
        item.registerItem();
        const QString exec = execLine();
        EXPECT_EQ(readExec(exec), (QStringList{program, QStringLiteral("--launched-at-login")})) << exec.toStdString();
        // A lone "%" would be a field code.
        EXPECT_FALSE(exec.contains(QRegularExpression(QStringLiteral("(^|[^%])%([^%]|$)")))) << exec.toStdString();
    }
}

TEST(XdgLoginItem, AnAppImageStartsTheImage) {
    qputenv("APPIMAGE", "/home/ann/Tavrine.AppImage");
    EXPECT_EQ(XdgLoginItem::defaultProgramPath(), QStringLiteral("/home/ann/Tavrine.AppImage"));
    qunsetenv("APPIMAGE");
    EXPECT_NE(XdgLoginItem::defaultProgramPath(), QStringLiteral("/home/ann/Tavrine.AppImage"));
}

TEST(XdgLoginItem, AnUnwritableFolderFailsWithTheReasonLogged) {
    CleanEntry clean;
    // A file where the autostart folder should be: no folder can be made there, not even by root.
    const QString folder = QFileInfo(XdgLoginItem::entryPath()).absolutePath();
    QDir(folder).removeRecursively();
    {
        QFile blocker(folder);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    LogCapture logs;
    XdgLoginItem item([] { return QStringLiteral("/opt/tavrine/tavrine"); });
    EXPECT_FALSE(setLaunchAtLogin(item, true));
    QFile::remove(folder);
    const QStringList lines = logs.messages(QStringLiteral("LoginItem"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], QStringLiteral("Login item change failed: The folder %1 could not be created.").arg(folder));
}

TEST(SetLaunchAtLogin, AnswersWhetherTheStateNowMatches) {
    LogCapture logs;
    FakeLoginItem item;
    EXPECT_TRUE(setLaunchAtLogin(item, true));
    EXPECT_TRUE(setLaunchAtLogin(item, false));
    EXPECT_TRUE(logs.messages(QStringLiteral("LoginItem")).isEmpty());

    // An unregister that fails still matches when the item is not enabled afterwards.
    item.state = Status::RequiresApproval;
    item.failWith = QStringLiteral("no access");
    EXPECT_TRUE(setLaunchAtLogin(item, false));
    EXPECT_FALSE(setLaunchAtLogin(item, true));
    EXPECT_EQ(logs.messages(QStringLiteral("LoginItem")).size(), 2);

    // A registration the desktop keeps switched off does not match, and logs nothing of its own.
    logs.clear();
    item.failWith.clear();
    item.state = Status::RequiresApproval;
    struct Stubborn final : LoginItem {
        Status status() const override { return Status::RequiresApproval; }
        void registerItem() override {}
        void unregisterItem() override {}
    } stubborn;
    EXPECT_FALSE(setLaunchAtLogin(stubborn, true));
    EXPECT_TRUE(logs.messages(QStringLiteral("LoginItem")).isEmpty());
}

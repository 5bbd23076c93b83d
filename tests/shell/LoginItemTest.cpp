#include "fakes/FakeLoginItem.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "tavrine/platform/DesktopEntries.h"
#include "tavrine/platform/DesktopFile.h"
#include "tavrine/platform/XdgLoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <functional>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tavrine;
using namespace tavrine::platform;
using namespace tavrine::test;

namespace {

using Status = LoginItem::Status;

// The entry's Exec value as the desktop reads it.
QString execLine() {
    QFile file(XdgLoginItem::entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const std::optional<DesktopFile> entry = DesktopFile::parse(file.readAll());
    return entry ? entry->string("Exec").value_or(QString()) : QString();
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
        // Read as the desktop's own key-file reader reads them: spaces around "=", booleans as 1 and 0, a value that
        // is no boolean as none, and a comment.
        {"Hidden = true \n", Status::RequiresApproval},
        {"Hidden=1\n", Status::RequiresApproval},
        {"X-GNOME-Autostart-enabled=0\n", Status::RequiresApproval},
        {"X-GNOME-Autostart-enabled=False\n", Status::Enabled},
        {"# Hidden=true\n", Status::Enabled},
        // An entry the desktop cannot read starts nothing.
        {"not a key file\n", Status::RequiresApproval},
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

// What stands at the entry's path may be anything: it is never read whole, never waited on, never followed and
// never written through. The switch shows it off; switching on puts a regular file in its place.
TEST(XdgLoginItem, AHostileEntryCountsAsOffAndIsReplacedWhole) {
    CleanEntry clean;
    const QString path = XdgLoginItem::entryPath();
    const QString elsewhere = QFileInfo(path).absolutePath() + QStringLiteral("/../elsewhere.desktop");
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { QFile::link(QStringLiteral("/dev/zero"), path); }, "it is a symbolic link"},
        {[&] { QFile::link(elsewhere, path); }, "it is a symbolic link"},
        {[&] { ::mkfifo(QFile::encodeName(path).constData(), 0600); }, "it is a FIFO"},
        {[&] {
             writeEntry("[Desktop Entry]\n");
             QFile(path).resize(10 * 1024 * 1024);
         },
         "it is larger than 1 MB"},
        {[&] { QDir().mkpath(path); }, "it is a folder"},
    };
    for (const auto& [make, refusal] : cases) {
        SCOPED_TRACE(refusal);
        QDir(path).removeRecursively();
        QFile::remove(path);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile target(elsewhere);
        ASSERT_TRUE(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
        target.write("[Desktop Entry]\n");
        target.close();
        make();
        LogCapture logs;
        XdgLoginItem item([] { return QStringLiteral("/opt/tavrine/tavrine"); });
        EXPECT_EQ(item.status(), Status::NotRegistered);
        EXPECT_EQ(item.status(), Status::NotRegistered);
        EXPECT_FALSE(item.refreshProgramPath());
        EXPECT_EQ(logs.messages(QStringLiteral("LoginItem")),
                  QStringList{QStringLiteral("Login item entry %1 not read: %2; launch at login counts as off")
                                  .arg(path, QString::fromUtf8(refusal))})
            << "said once, however often the settings window asks";

        // A folder is never replaced; anything else is, and nothing is written through a link.
        const bool folder = QFileInfo(path).isDir();
        EXPECT_EQ(setLaunchAtLogin(item, true), !folder);
        EXPECT_EQ(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink(), !folder);
        EXPECT_EQ(execLine().startsWith(QStringLiteral("/opt/tavrine/tavrine ")), !folder);
        ASSERT_TRUE(target.open(QIODevice::ReadOnly));
        EXPECT_EQ(target.readAll(), "[Desktop Entry]\n");
        target.close();
        // No temporary file is left beside the entry.
        const QDir::Filters files = QDir::Files | QDir::System | QDir::NoDotAndDotDot;
        EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(files).size(), folder ? 0 : 1);
    }
    QDir(path).removeRecursively();
    QFile::remove(elsewhere);
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
        EXPECT_EQ(DesktopEntries::execArguments(exec), (QStringList{program, QStringLiteral("--launched-at-login")}))
            << exec.toStdString();
        // A lone "%" would be a field code.
        EXPECT_FALSE(exec.contains(QRegularExpression(QStringLiteral("(^|[^%])%([^%]|$)")))) << exec.toStdString();
    }
}

namespace {

// The lines of a desktop file as GLib gives them back: "\r" ends dropped, key and value trimmed around "=", and
// group headers once each (GLib joins a group written twice).
QSet<QByteArray> linesOf(const QByteArray& text) {
    QSet<QByteArray> lines;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && !line.startsWith('#') && !line.startsWith('['))
            line = line.left(equals).trimmed() + '=' + line.mid(equals + 1).trimmed();
        lines.insert(line);
    }
    return lines;
}

// Whether desktop-file-validate accepts the entry (false without the validator).
bool validates(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("desktop-file-validate"), {path});
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

TEST(XdgLoginItem, AnEntryWhoseProgramIsGoneFollowsThisProgramWithEveryOtherLineKept) {
    CleanEntry clean;
    const QString installed = QCoreApplication::applicationFilePath();
    XdgLoginItem item([installed] { return installed; });
    struct Case {
        const char* name;
        QByteArray entry; // empty: no entry at all
        bool rewritten;
        // The line the log names when the entry is left as it is for holding what a rewrite would lose.
        QString unreadable = {};
    };
    const QByteArray gone = "Exec=\"/home/ann/old build/tavrine\" --launched-at-login\n";
    const QByteArray head = "[Desktop Entry]\n";
    const QByteArray body = "Type=Application\nName=Tavrine\nComment=My own words\n" + gone + "X-Mine=kept\n";
    // A program that is there, in a folder whose name has a space.
    const QString present = temporaryFolder() + QStringLiteral("/My Apps/tavrine");
    QDir().mkpath(QFileInfo(present).path());
    QFile(present).open(QIODevice::WriteOnly);
    QByteArray atTheLimit = head + body;
    while (atTheLimit.count('\n') < DesktopFile::maximumLines)
        atTheLimit += "# line\n";
    const QList<Case> cases = {
        {"program removed", head + body + "X-GNOME-Autostart-enabled=true\n", true},
        {"program present", "[Desktop Entry]\nExec=/bin/sh --launched-at-login\n", false},
        {"command on PATH", "[Desktop Entry]\nExec=tavrine --launched-at-login\n", false},
        {"switched off by the user", "[Desktop Entry]\n" + gone + "Hidden=true\n", false},
        {"removed by the user", "", false},
        // The key file's escapes in the program's path, a comment and another group's keys kept.
        {"program removed, written with escapes",
         "# written by hand\n[Desktop Entry]\nExec=\"/home/ann/old\\sbuild\\ttabbed/tavrine\" --launched-at-login\n"
         "Name[de]=Tavrine\n[Desktop Action x]\nExec=other\n",
         true},
        {"program present, its path written with escapes",
         "[Desktop Entry]\nExec=\"" + QFile::encodeName(present).replace(" ", "\\s") + "\" --launched-at-login\n",
         false},
        // Entries GLib reads whole, however they are written: rewritten with every other line.
        {"CRLF line ends, none after the last line", QByteArray(head + body).replace("\n", "\r\n") + "X-Last=line",
         true},
        {"spaces around \"=\", blank lines, a key and a group twice, a value no UTF-8, an unknown escape",
         head + "Type = Application \n\nName=Tavrine\nName=Again\n" + gone +
             "[Desktop Entry]\nX-Bytes=\xff\xfe\nX-Escape=a\\qb\n",
         true},
        {"as many lines as are read", atTheLimit, true},
        // A line GLib cannot read: it would keep the lines before it, and the reader passes it over. The entry is
        // left as it is, never cut down.
        {"a NUL inside a key, right after the header", head + QByteArray("Na\0me=x\n", 8) + body, false,
         "line 2 holds a NUL"},
        {"a 40,000-byte line without \"=\", right after the header", head + QByteArray(40000, 'x') + '\n' + body, false,
         "line 2 is over 32768 bytes"},
        {"a value ending in a backslash", head + "X-Slash=a\\\n" + body, false, "line 2 ends in a backslash"},
        {"more lines than are read", atTheLimit + "X-After=the limit\n", false,
         "the lines after line 4000 are not read"},
    };
    const QString original = temporaryFolder() + QStringLiteral("/original.desktop");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(XdgLoginItem::entryPath());
        if (!c.entry.isEmpty())
            writeEntry(c.entry);
        LogCapture logs;
        EXPECT_EQ(item.refreshProgramPath(), c.rewritten);
        EXPECT_EQ(logs.messages(QStringLiteral("LoginItem")),
                  c.unreadable.isEmpty()
                      ? QStringList()
                      : QStringList{QStringLiteral("Login item entry %1 starts /home/ann/old build/tavrine, which "
                                                   "is gone, and is left as it is: %2, which a rewrite would lose")
                                        .arg(XdgLoginItem::entryPath(), c.unreadable)});
        if (c.entry.isEmpty()) {
            EXPECT_FALSE(QFile::exists(XdgLoginItem::entryPath()));
            continue;
        }
        QFile file(XdgLoginItem::entryPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        if (!c.rewritten) {
            EXPECT_EQ(text, c.entry);
            continue;
        }
        EXPECT_EQ(DesktopEntries::execArguments(execLine()), (QStringList{installed, "--launched-at-login"}));
        QSet<QByteArray> lost = linesOf(c.entry) - linesOf(text);
        // The entry's own Exec line is the one replaced.
        lost.remove(gone.trimmed());
        lost.remove("Exec=\"/home/ann/old\\sbuild\\ttabbed/tavrine\" --launched-at-login");
        EXPECT_TRUE(lost.isEmpty()) << QByteArrayList(lost.values()).join('\n').toStdString();
        EXPECT_EQ(item.status(), Status::Enabled);
        {
            QFile copy(original);
            ASSERT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
            copy.write(c.entry);
        }
        if (validates(original)) {
            EXPECT_TRUE(validates(XdgLoginItem::entryPath()));
        }
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

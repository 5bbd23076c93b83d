#include "tavrine/platform/ApplicationIdentity.h"
#include "tavrine/platform/DesktopFile.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace tavrine::platform;

namespace tavrine::platform {
void PrintTo(const ApplicationIdentity& identity, std::ostream* out) {
    *out << '{' << identity.bundleIdentifier.value_or(QStringLiteral("-")).toStdString() << ", "
         << identity.name.value_or(QStringLiteral("-")).toStdString() << '}';
}
} // namespace tavrine::platform

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Two data folders: the user's, then the system's.
struct Folders {
    QString user = tavrine::test::temporaryFolder();
    QString system = tavrine::test::temporaryFolder();
    Folders() {
        writeFile(system + "/applications/org.example.Editor.desktop",
                  "[Desktop Entry]\nType=Application\nName=Example Editor\nStartupWMClass=ExEdit\n"
                  "[Desktop Action new]\nName=New Window\n");
        writeFile(user + "/applications/org.example.Editor.desktop",
                  "# the user's own copy\n[Desktop Entry]\nName = My Editor\nStartupWMClass=ExEdit\n");
        writeFile(system + "/applications/vendor/tool.desktop", "[Desktop Entry]\nName=Vendor Tool\n");
        writeFile(system + "/applications/viewer.desktop",
                  "[Desktop Entry]\nName=Viewer\nStartupWMClass=viewer-main\n");
        writeFile(system + "/applications/broken.desktop", "Name=No group\n");
        writeFile(system + "/applications/xfce4-terminal.desktop", "[Desktop Entry]\nName=Xfce Terminal\n");
        writeFile(system + "/applications/idle-python3.11.desktop",
                  "[Desktop Entry]\nName=IDLE (using Python-3.11)\nExec=/usr/bin/idle-python3.11\n");
        writeFile(system + "/applications/python3.11.desktop",
                  "[Desktop Entry]\nName=Python (v3.11)\nExec=/usr/bin/python3.11\nTerminal=true\n");
        writeFile(system + "/applications/quay.desktop",
                  "[Desktop Entry]\nName=Quay Chart\nExec=env LANG=C \"/opt/quay tools/quay-chart\" --new %U\n"
                  "[Desktop Action other]\nExec=quay-other\n");
        // Two applications that are each a "main.py"; one started through env's options that take a value.
        writeFile(system + "/applications/harbour.desktop",
                  "[Desktop Entry]\nName=Harbour\nExec=python3 /opt/harbour/main.py %F\n");
        writeFile(system + "/applications/tide.desktop",
                  "[Desktop Entry]\nName=Tide\nExec=env -u GTK_MODULES -C /opt/tide LANG=C "
                  "/usr/bin/python3\\s-O /opt/tide/main.py\n");
        writeFile(system + "/applications/ferry.desktop",
                  "[Desktop Entry]\nName=Ferry\nExec=env -iS \"PATH=/usr/bin ferry-run --fast\"\n");
        // The key file's escapes in every value read, and a name for the user's language.
        writeFile(system + "/applications/org.example.Escapes.desktop", R"([Desktop Entry]
Name=\sTab\tand\\Slash\nLine\r
Name[de]=Maskiert
StartupWMClass=Escaped\sClass
Exec="/opt/esc\sapps/escaped\\\\run" %u
)");
    }
    DesktopEntries entries() const { return DesktopEntries({user, system}); }
};

WindowClass windowClass(const QString& instance, const QString& className) {
    return WindowClass{instance, className};
}

} // namespace

TEST(DesktopEntries, TheUsersFolderWinsAndIdsFollowSubfolders) {
    const Folders folders;
    const DesktopEntries entries = folders.entries();
    ASSERT_TRUE(entries.find(QStringLiteral("org.example.Editor")));
    EXPECT_EQ(entries.find(QStringLiteral("org.example.Editor"))->name, QStringLiteral("My Editor"));
    ASSERT_TRUE(entries.find(QStringLiteral("vendor-tool")));
    EXPECT_EQ(entries.find(QStringLiteral("vendor-tool"))->name, QStringLiteral("Vendor Tool"));
    EXPECT_FALSE(entries.find(QStringLiteral("broken")));
    EXPECT_EQ(entries.findByStartupWmClass(QStringLiteral("ExEdit"))->id, QStringLiteral("org.example.Editor"));
    EXPECT_FALSE(entries.findByStartupWmClass(QStringLiteral("exedit"))) << "the class is matched exactly";

    // The name the desktop shows in the user's language.
    qputenv("LANGUAGE", "de");
    EXPECT_EQ(folders.entries().find(QStringLiteral("org.example.Escapes"))->name, QStringLiteral("Maskiert"));
    qunsetenv("LANGUAGE");
}

TEST(DesktopEntries, AFileNamedByAnotherProcessIsReadOnlyWhenSmallRegularAndSane) {
    const QString folder = tavrine::test::temporaryFolder();
    const QString fifo = folder + QStringLiteral("/fifo.desktop");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Nobody writes into the FIFO: a blocking open would never return.
    EXPECT_FALSE(DesktopEntries::readFile(fifo, QStringLiteral("fifo")));
    EXPECT_FALSE(DesktopEntries::readFile(QStringLiteral("/dev/zero"), QStringLiteral("zero")));
    EXPECT_FALSE(DesktopEntries::readFile(folder, QStringLiteral("folder")));
    EXPECT_FALSE(DesktopEntries::readFile(folder + QStringLiteral("/missing.desktop"), QStringLiteral("missing")));

    const QByteArray entry = "[Desktop Entry]\nName=Quay Editor\n";
    const QString huge = folder + QStringLiteral("/huge.desktop");
    writeFile(huge, entry + "Comment=" + QByteArray(DesktopEntries::maximumFileBytes, 'x') + "\n");
    EXPECT_FALSE(DesktopEntries::readFile(huge, QStringLiteral("huge"))) << "more than a desktop file ever holds";

    const QString longLine = folder + QStringLiteral("/long.desktop");
    writeFile(longLine,
              "[Desktop Entry]\nName=" + QByteArray(DesktopFile::maximumLineBytes, 'y') + "\nStartupWMClass=quay\n");
    const auto read = DesktopEntries::readFile(longLine, QStringLiteral("long"));
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->name.isEmpty()) << "a runaway line is passed over";
    EXPECT_EQ(read->startupWmClass, QStringLiteral("quay"));

    // Values GLib cannot read, after a refused escape: a backslash at the end, a backslash before a NUL. Passed
    // over without a word, whichever way the line ends.
    for (const QByteArray& name : {QByteArray("Quay\\q\\"), QByteArray("\\\"\\\0x", 5)}) {
        for (const QByteArray& lineEnd : {QByteArray("\n"), QByteArray("\r\n")}) {
            const QString dangling = folder + QStringLiteral("/dangling.desktop");
            writeFile(dangling, "[Desktop Entry]\nName=" + name + lineEnd + "Exec=run\\q\\" + lineEnd +
                                    "StartupWMClass=quay\\\\\n");
            testing::internal::CaptureStderr();
            const auto danglingRead = DesktopEntries::readFile(dangling, QStringLiteral("dangling"));
            EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string()) << name.toStdString();
            ASSERT_TRUE(danglingRead);
            EXPECT_TRUE(danglingRead->name.isEmpty()) << name.toStdString();
            EXPECT_TRUE(danglingRead->program.isEmpty()) << lineEnd.size();
            EXPECT_EQ(danglingRead->startupWmClass, QStringLiteral("quay\\")) << "a paired backslash is an escape";
        }
    }

    const QString plain = folder + QStringLiteral("/plain.desktop");
    writeFile(plain, entry);
    ASSERT_TRUE(DesktopEntries::readFile(plain, QStringLiteral("plain")));
    EXPECT_EQ(DesktopEntries::readFile(plain, QStringLiteral("plain"))->name, QStringLiteral("Quay Editor"));
}

TEST(ApplicationIdentity, TheStartTimeIsFieldTwentyTwoWhateverTheCommandName) {
    EXPECT_EQ(readProcessStartTime("42 (a) b) R 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 12345 99\n"), 12345U);
    EXPECT_EQ(readProcessStartTime("42 (Web Content) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 777 0"), 777U);
    EXPECT_FALSE(readProcessStartTime("42 (short) S 1 2 3"));
    EXPECT_FALSE(readProcessStartTime("no parenthesis at all"));
}

TEST(ApplicationIdentity, TheGtkApplicationIdComesFirst) {
    const Folders folders;
    const DesktopEntries entries = folders.entries();
    ApplicationClues clues;
    clues.gtkApplicationId = QStringLiteral("org.example.Editor");
    clues.windowClass = windowClass(QStringLiteral("viewer-main"), QStringLiteral("Viewer"));
    EXPECT_EQ(resolveApplicationIdentity(10, clues, entries),
              (ApplicationIdentity{QStringLiteral("org.example.Editor"), QStringLiteral("My Editor")}));
    // An id without a desktop file gives way to the entry the class names.
    clues.gtkApplicationId = QStringLiteral("org.example.Unknown");
    EXPECT_EQ(resolveApplicationIdentity(10, clues, entries),
              (ApplicationIdentity{QStringLiteral("viewer"), QStringLiteral("Viewer")}));
    clues.windowClass = windowClass(QStringLiteral("xfce4-terminal"), QStringLiteral("Xfce4-terminal"));
    EXPECT_EQ(resolveApplicationIdentity(10, clues, entries),
              (ApplicationIdentity{QStringLiteral("xfce4-terminal"), QStringLiteral("Xfce Terminal")}));
    // Without one, the id still names the application better than its class; the name falls back to the class.
    clues.windowClass = windowClass(QStringLiteral("unknown"), QStringLiteral("Unknown"));
    EXPECT_EQ(resolveApplicationIdentity(10, clues, entries),
              (ApplicationIdentity{QStringLiteral("org.example.Unknown"), QStringLiteral("Unknown")}));
}

TEST(ApplicationIdentity, TheLaunchersDesktopFileCountsOnlyForTheProcessItLaunched) {
    const Folders folders;
    const DesktopEntries entries = folders.entries();
    ApplicationClues clues;
    clues.windowClass = windowClass(QStringLiteral("term"), QStringLiteral("Term"));
    const QByteArray path = folders.system.toUtf8() + "/applications/vendor/tool.desktop";
    readLaunchVariables(QByteArray("PATH=/usr/bin") + '\0' + "GIO_LAUNCHED_DESKTOP_FILE=" + path + '\0' +
                            "GIO_LAUNCHED_DESKTOP_FILE_PID=20" + '\0',
                        clues);
    EXPECT_EQ(clues.launchedDesktopFilePid, 20);
    EXPECT_EQ(resolveApplicationIdentity(20, clues, entries),
              (ApplicationIdentity{QStringLiteral("tool"), QStringLiteral("Vendor Tool")}))
        << "named after the file, its name read from the file itself";
    // A child of that process inherited the variables: it is known by its own class.
    EXPECT_EQ(resolveApplicationIdentity(21, clues, entries),
              (ApplicationIdentity{QStringLiteral("Term"), QStringLiteral("Term")}));
}

TEST(ApplicationIdentity, AStartupClassMatchesTheClassOrTheInstanceElseTheClassIsTheId) {
    const Folders folders;
    const DesktopEntries entries = folders.entries();
    ApplicationClues clues;
    clues.windowClass = windowClass(QStringLiteral("exedit"), QStringLiteral("ExEdit"));
    EXPECT_EQ(resolveApplicationIdentity(1, clues, entries),
              (ApplicationIdentity{QStringLiteral("org.example.Editor"), QStringLiteral("My Editor")}));
    clues.windowClass = windowClass(QStringLiteral("viewer-main"), QStringLiteral("ViewerApp"));
    EXPECT_EQ(resolveApplicationIdentity(1, clues, entries),
              (ApplicationIdentity{QStringLiteral("viewer"), QStringLiteral("Viewer")}));
    clues.windowClass = windowClass(QStringLiteral("xterm"), QStringLiteral("XTerm"));
    EXPECT_EQ(resolveApplicationIdentity(1, clues, entries),
              (ApplicationIdentity{QStringLiteral("XTerm"), QStringLiteral("XTerm")}));
    // A class is anyone's text: it is cut between characters to what a request needs.
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
    clues.windowClass = windowClass(QStringLiteral("huge"), face.repeated(100000));
    EXPECT_EQ(resolveApplicationIdentity(1, clues, entries),
              (ApplicationIdentity{face.repeated(255), face.repeated(120)}));
    // A window that tells nothing: no id and no name (the capture then uses the pid and "Unknown app").
    EXPECT_EQ(resolveApplicationIdentity(1, ApplicationClues{}, entries), ApplicationIdentity{});
}

TEST(ApplicationIdentity, AClassThatNamesNoDesktopFileGivesWayToTheDesktopFileOfTheProgram) {
    const Folders folders;
    const DesktopEntries entries = folders.entries();
    const auto tk = windowClass(QStringLiteral("!listedtoplevel"), QStringLiteral("Toplevel"));
    struct Case {
        const char* name;
        std::optional<WindowClass> windowClass;
        QStringList commandLine;
        QString processName;
        ApplicationIdentity expected;
    };
    // Tk windows carry no pid of their own: the X server names their process.
    const Case cases[] = {
        {"a Tk script run by its interpreter, Exec by path",
         tk,
         {"/usr/bin/python3.11", "/usr/bin/idle-python3.11"},
         "idle-python3.11",
         {"idle-python3.11", "IDLE (using Python-3.11)"}},
        {"the interpreter's options before the script, the script by name",
         tk,
         {"python3.11", "-E", "idle-python3.11", "-n"},
         "python3.11",
         {"idle-python3.11", "IDLE (using Python-3.11)"}},
        {"a Tk script without a desktop file is named by its program, never by the interpreter's file",
         tk,
         {"/usr/bin/python3.11", "/home/hazel/harbour.py"},
         "python3.11",
         {"harbour.py", "harbour.py"}},
        {"code given as text runs the interpreter itself",
         tk,
         {"python3.11", "-c", "import tkinter"},
         "python3.11",
         {"python3.11", "Python (v3.11)"}},
        {"Exec after env, quoted, with a field code; its actions start other programs",
         windowClass(QStringLiteral("chart"), QStringLiteral("Chart")),
         {"/opt/quay tools/quay-chart", "--new"},
         "quay-chart",
         {"quay", "Quay Chart"}},
        {"a program no desktop file starts keeps its class",
         windowClass(QStringLiteral("quay-other"), QStringLiteral("QuayOther")),
         {"quay-other"},
         "quay-other",
         {"QuayOther", "QuayOther"}},
        {"a script is known by its whole path",
         tk,
         {"/usr/bin/python3", "/opt/harbour/main.py"},
         "python3",
         {"harbour", "Harbour"}},
        {"another application's main.py is not that one",
         tk,
         {"/usr/bin/python3", "/opt/anchor/main.py"},
         "python3",
         {"main.py", "main.py"}},
        {"env's options that take a value are not the program",
         tk,
         {"/usr/bin/python3", "-O", "/opt/tide/main.py"},
         "python3",
         {"tide", "Tide"}},
        {"env -S hands over a whole command line in one word",
         tk,
         {"/usr/local/bin/ferry-run", "--fast"},
         "ferry-run",
         {"ferry", "Ferry"}},
        {"escapes undone in the class and the name",
         windowClass(QStringLiteral("escaped"), QStringLiteral("Escaped Class")),
         {},
         "escaped",
         {"org.example.Escapes", " Tab\tand\\Slash\nLine\r"}},
        {"escapes undone in the program",
         std::nullopt,
         {"/opt/esc apps/escaped\\run"},
         "escaped\\run",
         {"org.example.Escapes", " Tab\tand\\Slash\nLine\r"}},
        {"no class and no command line: the system's name of the process",
         std::nullopt,
         {},
         "wish8.6",
         {"wish8.6", "wish8.6"}},
    };
    for (const Case& c : cases) {
        ApplicationClues clues;
        clues.windowClass = c.windowClass;
        clues.commandLine = c.commandLine;
        clues.processName = c.processName;
        EXPECT_EQ(resolveApplicationIdentity(1, clues, entries), c.expected) << c.name;
    }
    EXPECT_EQ(readCommandLine(QByteArray("/usr/bin/python3.11\0/usr/bin/idle-python3.11\0", 45)),
              (QStringList{"/usr/bin/python3.11", "/usr/bin/idle-python3.11"}));
}

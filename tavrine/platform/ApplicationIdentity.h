#pragma once

#include "tavrine/platform/DesktopEntries.h"
#include "tavrine/platform/x11/X11Connection.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavrine::platform {

// What a process shows of its identity: read from one of its windows and from its environment.
struct ApplicationClues {
    // _GTK_APPLICATION_ID of a window: a desktop-file id.
    std::optional<QString> gtkApplicationId;
    // GIO_LAUNCHED_DESKTOP_FILE and GIO_LAUNCHED_DESKTOP_FILE_PID of the environment (inherited by children,
    // so they count only when the pid is the process's own).
    std::optional<QString> launchedDesktopFile;
    std::optional<qint32> launchedDesktopFilePid;
    std::optional<WindowClass> windowClass;
    // The process's command line (/proc/<pid>/cmdline) and its name as the system shows it.
    QStringList commandLine;
    QString processName;
};

struct ApplicationIdentity {
    std::optional<QString> bundleIdentifier;
    std::optional<QString> name;

    friend bool operator==(const ApplicationIdentity&, const ApplicationIdentity&) = default;
};

// The application id is the desktop-file id (from the GTK application id when a desktop file has it, from the
// launcher's desktop file when it launched this very process, from a desktop file whose StartupWMClass, else
// whose id ignoring case, is the window class or instance, or from a desktop file whose Exec starts the program
// the command line runs), else the GTK application id, else the window class verbatim. The name is the desktop
// file's Name, else the window class. A window without a class, or with Tk's "Toplevel" that every Tk window but
// the root has, is named by its program instead (id and name). Both are cut to their evidence limits.
ApplicationIdentity resolveApplicationIdentity(qint32 pid, const ApplicationClues& clues,
                                               const DesktopEntries& entries);

// The two launcher variables from a /proc/<pid>/environ image (NUL-separated).
void readLaunchVariables(const QByteArray& environ, ApplicationClues& clues);

// The arguments of a /proc/<pid>/cmdline image (NUL-terminated).
QStringList readCommandLine(const QByteArray& cmdline);

// The process's name as the system shows it (/proc/<pid>/comm, at most 15 bytes); "" when it is gone.
QString processName(qint32 pid);

// The process's start time in clock ticks since boot, from a /proc/<pid>/stat image (field 22); none when the
// image does not hold it.
std::optional<quint64> readProcessStartTime(const QByteArray& stat);

} // namespace tavrine::platform

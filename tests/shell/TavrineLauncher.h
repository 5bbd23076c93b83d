#pragma once

#include "tavrine/platform/x11/X11Connection.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace tavrine::test {

// The program as a new user starts it: a fresh home with its own XDG folders, on the test's X display, with a
// fixed API token (so no keyring is asked). Launches share the folders until the launcher is destroyed, which
// ends every launch still running.
class TavrineLauncher {
public:
    TavrineLauncher();
    ~TavrineLauncher();

    // Starts Tavrine with `arguments`, and `environment` over the test's own; the index of the launch.
    int launch(const QStringList& arguments = {}, const QProcessEnvironment& environment = {});
    QProcess& process(int index) { return *m_processes.at(index); }
    // Later launches keep their standard error for `errors` instead of passing it on.
    void keepErrors() { m_keepErrors = true; }
    QString errors(int index) { return QString::fromLocal8Bit(process(index).readAllStandardError()); }
    // Waits for the launch to end; its exit code, or none when it did not end within `seconds`.
    std::optional<int> waitForExit(int index, int seconds = 20);
    // Sends SIGTERM and waits for the exit code.
    std::optional<int> terminate(int index);
    // The primary is up: its socket for later launches is there.
    bool waitUntilListening(int seconds = 20);

    QString configHome() const { return m_home.path() + QStringLiteral("/config"); }
    QString autostartEntry() const;
    QString settingsFile() const;
    void setCompletedOnboarding();

    // Tavrine's top-level windows on the display: the role (WM_WINDOW_ROLE) of each viewable one.
    static QStringList viewableWindows();
    static std::optional<platform::XWindowId> windowWithRole(const QString& role);
    // The role of the active window, when it is one of ours.
    static QString activeRole();

private:
    QTemporaryDir m_home;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    bool m_keepErrors = false;
};

} // namespace tavrine::test

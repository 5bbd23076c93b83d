#include "shell/TavrineLauncher.h"

#include "tavrine/core/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>

namespace tavrine::test {

TavrineLauncher::TavrineLauncher() : m_home(QDir::tempPath() + QStringLiteral("/tavrine-launch-XXXXXX")) {
    for (const char* sub : {"/config", "/data", "/cache", "/runtime"})
        QDir().mkpath(m_home.path() + QLatin1String(sub));
    QFile::setPermissions(m_home.path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TavrineLauncher::~TavrineLauncher() {
    for (int i = 0; i < int(m_processes.size()); ++i) {
        if (m_processes[i]->state() != QProcess::NotRunning && !terminate(i)) {
            m_processes[i]->kill();
            m_processes[i]->waitForFinished();
        }
    }
}

int TavrineLauncher::launch(const QStringList& arguments, const QProcessEnvironment& extra) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.path() + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path() + QStringLiteral("/runtime"));
    environment.insert(QStringLiteral("TAVRINE_API_TOKEN"), QStringLiteral("test-token"));
    // Nowhere to send anything: the loopback port 9 refuses at once.
    environment.insert(QStringLiteral("TAVRINE_API_BASE_URL"), QStringLiteral("http://127.0.0.1:9/"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    for (const QString& key : extra.keys())
        environment.insert(key, extra.value(key));
    // The audio and GL drivers keep a few allocations until exit; the exit code must say how Tavrine ended.
    QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) + QStringLiteral("detect_leaks=0"));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(m_keepErrors ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(TAVRINE_EXECUTABLE), arguments);
    process->waitForStarted();
    m_processes.push_back(std::move(process));
    return int(m_processes.size()) - 1;
}

std::optional<int> TavrineLauncher::waitForExit(int index, int seconds) {
    QProcess& p = process(index);
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, seconds * 1000))
        return std::nullopt;
    if (p.exitStatus() != QProcess::NormalExit)
        return -1;
    return p.exitCode();
}

std::optional<int> TavrineLauncher::terminate(int index) {
    QProcess& p = process(index);
    if (p.state() == QProcess::NotRunning)
        return waitForExit(index, 0);
    ::kill(pid_t(p.processId()), SIGTERM);
    return waitForExit(index);
}

bool TavrineLauncher::waitUntilListening(int seconds) {
    const QString socket = m_home.path() + QStringLiteral("/runtime/com.dravolence.tavrine.socket");
    return QTest::qWaitFor([&] { return QFile::exists(socket); }, seconds * 1000);
}

QString TavrineLauncher::autostartEntry() const {
    return configHome() + QStringLiteral("/autostart/com.dravolence.tavrine.desktop");
}

QString TavrineLauncher::settingsFile() const {
    return configHome() + QStringLiteral("/dravolence/tavrine.ini");
}

void TavrineLauncher::setCompletedOnboarding() {
    SettingsUserDefaults defaults(settingsFile());
    defaults.setBool(QStringLiteral("hasCompletedOnboarding"), true);
}

namespace {

QList<platform::XWindowId> ourWindows() {
    QList<platform::XWindowId> windows;
    platform::X11Connection* x11 = platform::X11Connection::shared();
    if (!x11)
        return windows;
    for (platform::XWindowId window : x11->clientListStacking()) {
        const auto windowClass = x11->windowClass(window);
        if (windowClass && windowClass->className == QStringLiteral("com.dravolence.tavrine"))
            windows << window;
    }
    return windows;
}

QString roleOf(platform::XWindowId window) {
    return platform::X11Connection::shared()->textProperty(window, "WM_WINDOW_ROLE").value_or(QString());
}

} // namespace

QStringList TavrineLauncher::viewableWindows() {
    QStringList roles;
    for (platform::XWindowId window : ourWindows())
        if (platform::X11Connection::shared()->isViewable(window))
            roles << roleOf(window);
    roles.sort();
    return roles;
}

std::optional<platform::XWindowId> TavrineLauncher::windowWithRole(const QString& role) {
    for (platform::XWindowId window : ourWindows())
        if (roleOf(window) == role)
            return window;
    return std::nullopt;
}

QString TavrineLauncher::activeRole() {
    platform::X11Connection* x11 = platform::X11Connection::shared();
    const auto active = x11 ? x11->activeWindow() : std::nullopt;
    if (!active || !ourWindows().contains(*active))
        return {};
    return roleOf(*active);
}

} // namespace tavrine::test

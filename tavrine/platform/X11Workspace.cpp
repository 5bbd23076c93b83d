#include "tavrine/platform/X11Workspace.h"

#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"

#include <QFile>

#include <unistd.h>

namespace tavrine::platform {

namespace {

// The process's start time in clock ticks since boot (field 22 of /proc/<pid>/stat); none when it is gone.
std::optional<quint64> processStartTime(qint32 pid) {
    if (pid <= 0)
        return std::nullopt;
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return readProcessStartTime(file.read(4096));
}

QByteArray processFile(qint32 pid, const char* name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(1 << 20);
}

} // namespace

X11Workspace::X11Workspace(X11Connection* connection, std::optional<QString> ownBundle, QStringList dataFolders)
    : m_connection(connection ? connection : X11Connection::shared()), m_ownBundle(std::move(ownBundle)),
      m_dataFolders(std::move(dataFolders)) {}

X11Workspace::~X11Workspace() = default;

qint32 X11Workspace::ownPid() const {
    return qint32(::getpid());
}

const DesktopEntries& X11Workspace::entries() {
    if (!m_entries)
        m_entries = std::make_unique<DesktopEntries>(m_dataFolders);
    return *m_entries;
}

std::optional<ApplicationInfo> X11Workspace::identify(qint32 pid, std::optional<XWindowId> window) {
    const auto start = processStartTime(pid);
    if (!start)
        return std::nullopt;
    ApplicationClues clues;
    if (window && m_connection)
        clues.windowClass = m_connection->windowClass(*window);
    // One process can show several applications (an office suite), and some map a first window under another
    // class: the identity belongs to the window and its class, and a reused pid starts afresh.
    const QString key = window ? QStringLiteral("%1|%2|%3|%4")
                                     .arg(pid)
                                     .arg(*window)
                                     .arg(clues.windowClass ? clues.windowClass->className : QString(),
                                          clues.windowClass ? clues.windowClass->instance : QString())
                               : QString();
    if (window) {
        std::lock_guard lock(m_mutex);
        if (const auto found = m_cache.constFind(key); found != m_cache.constEnd() && found->startTime == *start)
            return ApplicationInfo{pid, found->identity.bundleIdentifier, found->identity.name};
    }
    if (window && m_connection)
        clues.gtkApplicationId = m_connection->textProperty(*window, "_GTK_APPLICATION_ID");
    readLaunchVariables(processFile(pid, "environ"), clues);
    // Read once per window and class: a window whose class names no desktop file is known by its program.
    clues.commandLine = readCommandLine(processFile(pid, "cmdline"));
    clues.processName = processName(pid);
    std::lock_guard lock(m_mutex);
    const ApplicationIdentity identity = resolveApplicationIdentity(pid, clues, entries());
    // A process seen before its first window has no class yet: remember it only once a window told us.
    if (window) {
        // Windows come and go for as long as Tavrine runs: the cache never holds more than a desktop shows.
        if (m_cache.size() >= cachedWindowLimit)
            m_cache.clear();
        m_cache.insert(key, Cached{*start, identity});
    }
    return ApplicationInfo{pid, identity.bundleIdentifier, identity.name};
}

std::optional<ApplicationInfo> X11Workspace::frontmostApplication() {
    const auto active = activeWindow();
    if (!active)
        return std::nullopt;
    const auto pid = m_connection->windowPid(*active);
    if (!pid)
        return std::nullopt;
    return identify(*pid, active);
}

std::optional<ApplicationInfo> X11Workspace::runningApplication(qint32 pid) {
    if (!processStartTime(pid))
        return std::nullopt;
    std::optional<XWindowId> window;
    if (m_connection) {
        for (XWindowId candidate : m_connection->clientListStacking()) {
            if (m_connection->windowPid(candidate) == pid) {
                window = candidate;
                break;
            }
        }
    }
    return identify(pid, window);
}

std::optional<ApplicationInfo> X11Workspace::windowApplication(XWindowId id) {
    if (!m_connection || id == 0)
        return std::nullopt;
    const auto pid = m_connection->windowPid(id);
    return pid ? identify(*pid, id) : std::nullopt;
}

std::optional<XWindowId> X11Workspace::activeWindow() {
    return m_connection ? m_connection->activeWindow() : std::nullopt;
}

QList<WindowInfo> X11Workspace::windows(qint32 pid) {
    QList<WindowInfo> result;
    if (!m_connection)
        return result;
    const QList<XWindowId> stacking = m_connection->clientListStacking();
    for (auto it = stacking.crbegin(); it != stacking.crend(); ++it) {
        if (m_connection->windowPid(*it) != pid || !m_connection->isNormalWindow(*it))
            continue;
        if (auto info = window(*it))
            result.append(*info);
    }
    return result;
}

std::optional<WindowInfo> X11Workspace::window(XWindowId id) {
    if (!m_connection || id == 0)
        return std::nullopt;
    const auto placed = m_connection->placement(id);
    if (!placed)
        return std::nullopt;
    WindowInfo info;
    info.id = id;
    info.pid = m_connection->windowPid(id).value_or(0);
    info.title = text::graphemePrefix(m_connection->windowTitle(id), evidenceLimit::title);
    info.frame = placed->rect;
    info.onScreen = placed->viewable;
    const auto extents = m_connection->frameExtents(id);
    info.managerTitleBar = extents && extents->top() > 0;
    return info;
}

int X11Workspace::activate(XWindowId id) {
    if (!m_connection)
        return 1;
    return m_connection->activate(id);
}

} // namespace tavrine::platform

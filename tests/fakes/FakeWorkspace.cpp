#include "fakes/FakeWorkspace.h"

namespace tavrine::test {

using platform::WindowInfo;
using platform::XWindowId;

void FakeWorkspace::setOwn(qint32 pid, std::optional<QString> bundle) {
    std::lock_guard lock(m_mutex);
    m_ownPid = pid;
    m_ownBundle = std::move(bundle);
}

void FakeWorkspace::addApplication(const platform::ApplicationInfo& app) {
    std::lock_guard lock(m_mutex);
    m_apps.insert(app.pid, app);
}

void FakeWorkspace::removeApplication(qint32 pid) {
    std::lock_guard lock(m_mutex);
    m_apps.remove(pid);
}

void FakeWorkspace::addWindow(const WindowInfo& window) {
    std::lock_guard lock(m_mutex);
    m_windows.prepend(window);
}

void FakeWorkspace::editWindow(XWindowId id, const std::function<void(WindowInfo&)>& change) {
    std::lock_guard lock(m_mutex);
    for (WindowInfo& window : m_windows) {
        if (window.id == id)
            change(window);
    }
}

void FakeWorkspace::setActive(std::optional<XWindowId> id) {
    std::lock_guard lock(m_mutex);
    m_active = id;
}

void FakeWorkspace::setActivationResult(int error, bool takesFocus) {
    std::lock_guard lock(m_mutex);
    m_activationError = error;
    m_activationTakesFocus = takesFocus;
}

QList<XWindowId> FakeWorkspace::activations() const {
    std::lock_guard lock(m_mutex);
    return m_activations;
}

qint32 FakeWorkspace::ownPid() const {
    std::lock_guard lock(m_mutex);
    return m_ownPid;
}

std::optional<QString> FakeWorkspace::ownBundleIdentifier() const {
    std::lock_guard lock(m_mutex);
    return m_ownBundle;
}

std::optional<platform::ApplicationInfo> FakeWorkspace::frontmostApplication() {
    std::lock_guard lock(m_mutex);
    if (!m_active)
        return std::nullopt;
    for (const WindowInfo& window : m_windows) {
        if (window.id == *m_active && m_apps.contains(window.pid))
            return m_apps.value(window.pid);
    }
    return std::nullopt;
}

std::optional<platform::ApplicationInfo> FakeWorkspace::runningApplication(qint32 pid) {
    std::lock_guard lock(m_mutex);
    if (const auto it = m_apps.constFind(pid); it != m_apps.constEnd())
        return it.value();
    return std::nullopt;
}

std::optional<XWindowId> FakeWorkspace::activeWindow() {
    std::lock_guard lock(m_mutex);
    return m_active;
}

QList<WindowInfo> FakeWorkspace::windows(qint32 pid) {
    std::lock_guard lock(m_mutex);
    QList<WindowInfo> result;
    for (const WindowInfo& window : m_windows) {
        if (window.pid == pid)
            result.append(window);
    }
    return result;
}

std::optional<WindowInfo> FakeWorkspace::window(XWindowId id) {
    std::lock_guard lock(m_mutex);
    for (const WindowInfo& window : m_windows) {
        if (window.id == id)
            return window;
    }
    return std::nullopt;
}

int FakeWorkspace::activate(XWindowId id) {
    std::lock_guard lock(m_mutex);
    m_activations.append(id);
    if (m_activationError != 0)
        return m_activationError;
    for (qsizetype i = 0; i < m_windows.size(); ++i) {
        if (m_windows.at(i).id == id) {
            WindowInfo window = m_windows.takeAt(i);
            window.onScreen = true;
            m_windows.prepend(window);
            if (m_activationTakesFocus)
                m_active = id;
            return 0;
        }
    }
    return 3;
}

} // namespace tavrine::test

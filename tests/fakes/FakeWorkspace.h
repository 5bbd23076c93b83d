#pragma once

#include "tavrine/platform/Workspace.h"

#include <QHash>

#include <mutex>

namespace tavrine::test {

// A desktop in memory: applications, windows front to back, the active window, and the activations asked of
// it. Thread-safe.
class FakeWorkspace final : public platform::Workspace {
public:
    static constexpr qint32 tavrinePid = 4242;

    void setOwn(qint32 pid, std::optional<QString> bundle);
    void addApplication(const platform::ApplicationInfo& app);
    void removeApplication(qint32 pid);
    // Adds a window in front of the others.
    void addWindow(const platform::WindowInfo& window);
    void editWindow(platform::XWindowId id, const std::function<void(platform::WindowInfo&)>& change);
    void setActive(std::optional<platform::XWindowId> id);
    // What activate answers; an activation that succeeds makes the window active unless told otherwise.
    void setActivationResult(int error, bool takesFocus = true);
    QList<platform::XWindowId> activations() const;

    qint32 ownPid() const override;
    std::optional<QString> ownBundleIdentifier() const override;
    std::optional<platform::ApplicationInfo> frontmostApplication() override;
    std::optional<platform::ApplicationInfo> runningApplication(qint32 pid) override;
    std::optional<platform::XWindowId> activeWindow() override;
    QList<platform::WindowInfo> windows(qint32 pid) override;
    std::optional<platform::WindowInfo> window(platform::XWindowId id) override;
    int activate(platform::XWindowId id) override;

private:
    mutable std::mutex m_mutex;
    qint32 m_ownPid = tavrinePid;
    std::optional<QString> m_ownBundle = QStringLiteral("com.dravolence.tavrine");
    QHash<qint32, platform::ApplicationInfo> m_apps;
    QList<platform::WindowInfo> m_windows;
    std::optional<platform::XWindowId> m_active;
    int m_activationError = 0;
    bool m_activationTakesFocus = true;
    QList<platform::XWindowId> m_activations;
};

} // namespace tavrine::test

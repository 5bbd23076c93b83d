#pragma once

#include "tavrine/platform/ApplicationIdentity.h"
#include "tavrine/platform/Workspace.h"

#include <QHash>

#include <memory>
#include <mutex>

namespace tavrine::platform {

// The workspace read from X11: the active window and its owner, the process's windows in stacking order, and
// activation through the window manager. Application identities are cached per window and window class (checked
// against the process's start time, so a reused pid is identified afresh): identity is read every second. Titles
// are cut to the evidence limit.
class X11Workspace final : public Workspace {
public:
    static QString tavrineBundleIdentifier() { return QStringLiteral("com.dravolence.tavrine"); }

    // `connection` null: the process's shared connection. `ownBundle` is Tavrine's own id.
    explicit X11Workspace(X11Connection* connection = nullptr,
                          std::optional<QString> ownBundle = tavrineBundleIdentifier(),
                          QStringList dataFolders = DesktopEntries::standardDataFolders());
    ~X11Workspace() override;

    qint32 ownPid() const override;
    std::optional<QString> ownBundleIdentifier() const override { return m_ownBundle; }
    std::optional<ApplicationInfo> frontmostApplication() override;
    std::optional<ApplicationInfo> runningApplication(qint32 pid) override;
    std::optional<ApplicationInfo> windowApplication(XWindowId id) override;
    std::optional<XWindowId> activeWindow() override;
    QList<WindowInfo> windows(qint32 pid) override;
    std::optional<WindowInfo> window(XWindowId id) override;
    int activate(XWindowId id) override;

private:
    std::optional<ApplicationInfo> identify(qint32 pid, std::optional<XWindowId> window);
    const DesktopEntries& entries();

    struct Cached {
        quint64 startTime = 0;
        ApplicationIdentity identity;
    };
    X11Connection* m_connection;
    std::optional<QString> m_ownBundle;
    QStringList m_dataFolders;
    std::mutex m_mutex;
    std::unique_ptr<DesktopEntries> m_entries;
    // By pid, window and class.
    QHash<QString, Cached> m_cache;
    static constexpr qsizetype cachedWindowLimit = 512;
};

} // namespace tavrine::platform

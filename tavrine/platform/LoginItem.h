#pragma once

#include "tavrine/core/Error.h"

#include <QString>
#include <QStringList>

namespace tavrine::platform {

// Whether the application starts when the user logs in. Implementations: XdgLoginItem (the desktop's autostart
// folder) and a fake in tests.
class LoginItem {
public:
    enum class Status {
        Enabled,
        // Registered, but switched off by the desktop or the user outside Tavrine.
        RequiresApproval,
        NotRegistered,
        // Tavrine cannot tell where its own program is, so it cannot be registered.
        NotFound,
    };

    virtual ~LoginItem() = default;

    virtual Status status() const = 0;
    // Both throw LoginItemError when the change could not be made.
    virtual void registerItem() = 0;
    virtual void unregisterItem() = 0;

    // The marker an autostarted launch carries on its command line.
    static constexpr const char* launchedAtLoginArgument = "--launched-at-login";
};

// Why a login-item change failed; the description is the whole readable reason.
class LoginItemError final : public Error {
public:
    explicit LoginItemError(QString description) : m_description(std::move(description)) {}
    QString caseName() const override { return QStringLiteral("changeFailed"); }
    QString domain() const override { return QStringLiteral("tavrine.LoginItemError"); }
    long code() const override { return 0; }
    QString description() const override { return m_description; }

private:
    QString m_description;
};

// Registers or unregisters `item` and answers whether its state now matches the request. A failed change is
// logged ("Login item change failed: …") and never thrown.
bool setLaunchAtLogin(LoginItem& item, bool enabled);

// Whether this process was started by the login mechanism: its arguments hold the autostart marker.
bool wasLaunchedAsLoginItem(const QStringList& arguments);

} // namespace tavrine::platform

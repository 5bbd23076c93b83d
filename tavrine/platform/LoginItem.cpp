#include "tavrine/platform/LoginItem.h"

#include "tavrine/core/Log.h"

namespace tavrine::platform {

bool setLaunchAtLogin(LoginItem& item, bool enabled) {
    try {
        if (enabled)
            item.registerItem();
        else
            item.unregisterItem();
    } catch (const Error& error) {
        log::error(logLoginItem(), QStringLiteral("Login item change failed: %1").arg(error.description()));
    }
    const bool isEnabled = item.status() == LoginItem::Status::Enabled;
    return enabled == isEnabled;
}

bool wasLaunchedAsLoginItem(const QStringList& arguments) {
    return arguments.contains(QLatin1String(LoginItem::launchedAtLoginArgument));
}

} // namespace tavrine::platform

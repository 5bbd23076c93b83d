#include "tavrine/shell/LaunchArguments.h"

#include "tavrine/platform/LoginItem.h"

namespace tavrine::shell {

LaunchArguments LaunchArguments::parse(const QStringList& arguments) {
    LaunchArguments parsed;
    parsed.noHistory = arguments.contains(QLatin1String("--demo")) || arguments.contains(QLatin1String("--e2e"));
    parsed.onboarding = arguments.contains(QLatin1String("--onboarding"));
    parsed.atLogin = platform::wasLaunchedAsLoginItem(arguments);
    return parsed;
}

} // namespace tavrine::shell

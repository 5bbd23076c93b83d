#include "tavrine/shell/TavrineAppDelegate.h"

#include "tavrine/platform/LoginItem.h"
#include "tavrine/shell/FocusWindowOpener.h"

namespace tavrine::shell {

void TavrineAppDelegate::applicationDidFinishLaunching(const QStringList& arguments) {
    openedAtLogin = platform::wasLaunchedAsLoginItem(arguments);
}

bool TavrineAppDelegate::applicationShouldHandleReopen(FocusWindowOpener& opener) {
    opener.open();
    return true;
}

void TavrineAppDelegate::openURL(const QUrl& url) {
    if (onOpenURL)
        onOpenURL(url);
}

} // namespace tavrine::shell

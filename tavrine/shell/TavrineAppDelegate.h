#pragma once

#include <QStringList>
#include <QUrl>
#include <functional>

namespace tavrine::shell {

class FocusWindowOpener;

// What only the launch itself knows, and the answer to the application being launched again.
class TavrineAppDelegate {
public:
    // Opened addresses go here one by one when set; no address scheme is defined, so none is set.
    std::function<void(const QUrl&)> onOpenURL;
    bool openedAtLogin = false;

    // The application object exists: keeps whether this launch came from the user logging in.
    void applicationDidFinishLaunching(const QStringList& arguments);
    // A second launch asked for the application: the main window opens.
    bool applicationShouldHandleReopen(FocusWindowOpener& opener);
    void openURL(const QUrl& url);
};

} // namespace tavrine::shell

#pragma once

namespace tavrine {
class UserDefaults;
}

namespace tavrine::shell {

// Puts the desktop's hot keys (X11 key grabs) and the user defaults under the process's named shortcuts, so that
// "openMainWindow" and the recorder of the settings work. Once per process, after the application object exists;
// off X11 it does nothing and the shortcuts stay in memory without hot keys. The services live as long as the
// process, as the shortcut registry does.
void installDesktopShortcuts(UserDefaults& defaults);

} // namespace tavrine::shell

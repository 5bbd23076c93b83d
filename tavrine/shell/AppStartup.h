#pragma once

namespace tavrine::shell {

// What the application sets up process-wide around making its QApplication, shared by the program and the
// benchmarks that start it the same way.

// Before the QApplication: the names xcb gives the windows' WM_CLASS (capture knows us by it), the style, and
// the GL context the rehearsal's web player shares.
void prepareApplication();
// Right after it: the application lives on with no window open, and the desktop shortcuts are in place before
// the main-window opener registers its hot key.
void setUpApplication();

} // namespace tavrine::shell

#pragma once

#include <QStringList>

namespace tavrine::shell {

// What the application reads from its command line; every flag is an exact, case-sensitive argument.
struct LaunchArguments {
    // "--demo" or "--e2e": the session stores nothing.
    bool noHistory = false;
    // "--onboarding": the first-run window shows even after it was completed.
    bool onboarding = false;
    // The autostart marker: this launch came from the user logging in.
    bool atLogin = false;

    static LaunchArguments parse(const QStringList& arguments);
};

} // namespace tavrine::shell

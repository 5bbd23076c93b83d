#pragma once

#include "tavrine/platform/LoginItem.h"

#include <functional>

namespace tavrine::platform {

// Launch at login through the XDG autostart folder: $XDG_CONFIG_HOME/autostart/com.dravolence.tavrine.desktop.
// The entry starts this program (the AppImage when running from one) with the login marker. Registering
// rewrites the entry: switching the setting on in Tavrine is the user's approval, so an entry hidden by the
// desktop is switched back on.
class XdgLoginItem final : public LoginItem {
public:
    // The program to start at login; empty when unknown. By default $APPIMAGE when set, else this program.
    using ProgramPath = std::function<QString()>;

    explicit XdgLoginItem(ProgramPath programPath = {});

    Status status() const override;
    void registerItem() override;
    void unregisterItem() override;

    // Points an enabled entry whose program no longer exists (a removed build folder, a build run replaced by an
    // installed one) at this program, keeping the rest of the entry. Answers whether the entry was rewritten.
    // An entry that is absent stays absent: removing it is how a user switches launch at login off.
    bool refreshProgramPath();

    // Where the entry is written.
    static QString entryPath();
    static QString defaultProgramPath();
    // The Exec value for `arguments`, quoted as desktop entries require (and with "%" doubled).
    static QString execValue(const QStringList& arguments);
    // The entry's whole text for `program`.
    static QByteArray entryText(const QString& program);
    // The words of an Exec value, with the quoting and the escapes undone.
    static QStringList execArguments(const QString& value);

private:
    ProgramPath m_programPath;
};

} // namespace tavrine::platform

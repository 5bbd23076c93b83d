#pragma once

#include "tavrine/platform/LoginItem.h"

#include <QByteArray>

#include <functional>
#include <optional>

namespace tavrine::platform {

// Launch at login through the XDG autostart folder: $XDG_CONFIG_HOME/autostart/com.dravolence.tavrine.desktop.
// The entry starts this program (the AppImage when running from one) with the login marker. Registering
// replaces the entry in one step: switching the setting on in Tavrine is the user's approval, so an entry hidden
// by the desktop is switched back on. Anything at the entry's path other than a small regular file (a link, a
// FIFO, a device, a folder, a huge file) is never read, followed or written through: it counts as no entry, is
// named once in the log, and registering puts a regular file in its place.
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
    // The entry's whole text for `program`.
    static QByteArray entryText(const QString& program);

private:
    // The entry's text; none when there is none or it is refused.
    std::optional<QByteArray> readEntry() const;

    ProgramPath m_programPath;
    // The last refusal written to the log: the settings window asks for the status at every activation.
    mutable QString m_loggedRefusal;
};

} // namespace tavrine::platform

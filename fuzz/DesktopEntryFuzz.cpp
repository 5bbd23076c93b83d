// Desktop files: any file another process names in its environment is read as one. The bytes are parsed, and
// the entry then serves an identity through its StartupWMClass as the workspace would use it. The user's own
// autostart entry is rewritten with a new Exec: only when it was read whole, and the rewrite reads back with it.
#include "FuzzSupport.h"

#include "tavrine/platform/ApplicationIdentity.h"
#include "tavrine/platform/DesktopEntries.h"
#include "tavrine/platform/DesktopFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = tavrine::fuzz::bytesOf(data, size);
    if (const auto file = tavrine::platform::DesktopFile::parse(bytes)) {
        const QByteArray exec = "/opt/tavrine/tavrine --launched-at-login";
        if (const auto rewritten = file->withValue("Exec", exec)) {
            const auto again = tavrine::platform::DesktopFile::parse(*rewritten);
            // GLib puts a blank line before each group, so a rewrite may hold more lines than are read.
            if (!file->linesLeftOut().isEmpty() || !again ||
                (again->linesLeftOut().isEmpty() && again->string("Exec") != QString::fromLatin1(exec)))
                __builtin_trap();
        }
    }
    const auto entry = tavrine::platform::DesktopEntries::parse(bytes, QStringLiteral("org.example.Editor"));
    if (!entry)
        return 0;
    tavrine::platform::ApplicationClues clues;
    clues.windowClass = tavrine::platform::WindowClass{entry->startupWmClass.toLower(), entry->startupWmClass};
    const tavrine::platform::DesktopEntries none(QStringList{});
    const auto identity = tavrine::platform::resolveApplicationIdentity(42, clues, none);
    (void)identity;
    return 0;
}

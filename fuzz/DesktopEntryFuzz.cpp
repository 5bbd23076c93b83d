// Desktop files: any file another process names in its environment is read as one. The bytes are parsed, and
// the entry then serves an identity through its StartupWMClass as the workspace would use it.
#include "FuzzSupport.h"

#include "tavrine/platform/ApplicationIdentity.h"
#include "tavrine/platform/DesktopEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = tavrine::fuzz::bytesOf(data, size);
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

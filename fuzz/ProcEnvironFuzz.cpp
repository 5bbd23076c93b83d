// What /proc tells of another process: the first byte picks the file, the rest is its image. The environment's
// launcher variables, and the same image read as a command line, go on into the identity, as the workspace takes
// them.
#include "FuzzSupport.h"

#include "tavrine/platform/ApplicationIdentity.h"
#include "tavrine/platform/DesktopEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray image = tavrine::fuzz::bytesOf(data + 1, size - 1);
    if (data[0] & 1) {
        (void)tavrine::platform::readProcessStartTime(image);
        return 0;
    }
    tavrine::platform::ApplicationClues clues;
    tavrine::platform::readLaunchVariables(image, clues);
    clues.commandLine = tavrine::platform::readCommandLine(image);
    // Only a relative name is looked up: an absolute one would make the target read files of this machine.
    if (clues.launchedDesktopFile && clues.launchedDesktopFile->startsWith(QLatin1Char('/')))
        clues.launchedDesktopFile.reset();
    const tavrine::platform::DesktopEntries none(QStringList{});
    const auto identity =
        tavrine::platform::resolveApplicationIdentity(clues.launchedDesktopFilePid.value_or(7), clues, none);
    (void)identity;
    return 0;
}

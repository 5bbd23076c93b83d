#include "tavrine/shell/AppStartup.h"

#include "tavrine/core/UserDefaults.h"
#include "tavrine/onboarding/WebPlayerPage.h"
#include "tavrine/shell/DesktopShortcuts.h"
#include "tavrine/speech/SoundStreamNames.h"
#include "tavrine/ui/FirstFrameBackground.h"

#include <QApplication>

namespace tavrine::shell {

void prepareApplication() {
    QApplication::setApplicationName(QStringLiteral("com.dravolence.tavrine"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavrine"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    tavrine::prepareWebEngine();
}

void setUpApplication() {
    QApplication::setQuitOnLastWindowClosed(false);
    installDesktopShortcuts(UserDefaults::standard());
    ui::FirstFrameBackground::install(*qApp);
    nameSoundStreams();
}

} // namespace tavrine::shell

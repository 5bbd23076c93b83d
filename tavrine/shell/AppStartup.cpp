#include "tavrine/shell/AppStartup.h"

#include "tavrine/core/UserDefaults.h"
#include "tavrine/shell/DesktopShortcuts.h"
#include "tavrine/ui/FirstFrameBackground.h"

#include <QApplication>
#include <QIcon>

namespace tavrine::shell {

void prepareApplication() {
    QApplication::setApplicationName(QStringLiteral("com.dravolence.tavrine"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavrine"));
    // The installed desktop entry's id: start-up notification and task bars match windows to it.
    QApplication::setDesktopFileName(QStringLiteral("com.dravolence.tavrine"));
    QApplication::setStyle(QStringLiteral("Fusion"));
}

void setUpApplication() {
    QApplication::setQuitOnLastWindowClosed(false);
    // The icon installed in the hicolor theme; a build run from its folder has none and shows the default.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.dravolence.tavrine")));
    installDesktopShortcuts(UserDefaults::standard());
    ui::FirstFrameBackground::install(*qApp);
}

} // namespace tavrine::shell

// The application as tavrine/main.cpp starts it, made to build all four of its windows: once the main window
// is up, "history" and "settings" open as from the main window, and with --close they are closed again once
// mapped. Nothing else happens; bench/idle-rss reads the memory of this process while it stays idle.
// Usage: idle_windows [--close]   (on an X display with a window manager, fresh XDG folders)
#include "tavrine/onboarding/WebEngineSanitizerOptions.h"
#include "tavrine/shell/AppStartup.h"
#include "tavrine/shell/TavrineApp.h"
#include "tavrine/shell/WindowSet.h"

#include <QApplication>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool close = arguments.contains(QStringLiteral("--close"));
    arguments.removeAll(QStringLiteral("--close"));

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    tavrine::shell::prepareApplication();
    QApplication app(argc, argv);
    tavrine::shell::setUpApplication();

    tavrine::shell::TavrineApp::Environment environment;
    environment.arguments = arguments;
    tavrine::shell::TavrineApp tavrine(std::move(environment));
    tavrine.start();

    // After the launch set-up has opened the main window: the two windows the main window opens.
    QTimer::singleShot(1000, &tavrine, [&tavrine, close] {
        for (const QString& id : {QStringLiteral("history"), QStringLiteral("settings")}) {
            QQuickWindow* window = tavrine.windows().openWindow(id);
            if (close)
                QTimer::singleShot(1500, window, [window] { window->close(); });
        }
        QTimer::singleShot(2000, [] { std::fputs("idle_windows: all four windows built\n", stderr); });
    });
    return QApplication::exec();
}

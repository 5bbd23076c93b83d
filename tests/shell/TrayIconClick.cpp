#include "TrayIconClick.h"

#include "support/TestSupport.h"
#include "tavrine/shell/TrayStatusLabel.h"

#include <QGuiApplication>
#include <QProcess>
#include <QWindow>
#include <X11/Xlib.h>

namespace tavrine::test {

namespace {

// The innermost window that holds the pointer, as the server sees it now.
std::optional<platform::XWindowId> windowUnderPointer() {
    std::optional<platform::XWindowId> found;
    platform::X11Connection::shared()->withDisplay([&](Display* display) {
        Window window = DefaultRootWindow(display);
        for (;;) {
            Window root = 0;
            Window child = 0;
            int rootX = 0, rootY = 0, x = 0, y = 0;
            unsigned int buttons = 0;
            if (!XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &buttons) || child == None)
                break;
            window = child;
        }
        found = platform::XWindowId(window);
    });
    return found;
}

// Qt reports a position as soon as the host has reparented the icon, but the host then lays its panel out again
// for the new icon (trayer grows and, aligned right, moves leftwards) and maps the icon only after that: the first
// positions Qt reports can lie partly off the screen, beside where the icon ends up. The server's place of the
// mapped icon is where a click reaches it.
std::optional<QRect> mappedTrayIcon() {
    const std::optional<platform::XWindowId> icon = trayIconWindow();
    const auto placed = icon ? platform::X11Connection::shared()->placement(*icon) : std::nullopt;
    if (!placed || !placed->viewable || placed->rect.width() <= 1 || placed->rect.height() <= 1)
        return std::nullopt;
    return placed->rect;
}

} // namespace

std::optional<platform::XWindowId> trayIconWindow() {
    // Qt names the window after the widget class that draws the icon.
    for (QWindow* window : QGuiApplication::allWindows()) {
        if (window->objectName().startsWith(QLatin1String("QSystemTrayIconSys")) && window->handle())
            return platform::XWindowId(window->winId());
    }
    return std::nullopt;
}

std::optional<QRect> settledTrayIcon(const shell::TrayStatusLabel& tray, double seconds) {
    std::optional<QRect> settled;
    waitUntil(
        [&] {
            const std::optional<QRect> mapped = mappedTrayIcon();
            if (!mapped || tray.trayIconGeometry() != mapped)
                return false;
            settled = mapped;
            return true;
        },
        seconds);
    return settled;
}

bool clickTrayIcon(double seconds, int button) {
    // The pointer goes to the middle of the mapped icon, and the click waits until the server finds the pointer
    // on the icon itself.
    const bool onIcon = waitUntil(
        [&] {
            const std::optional<QRect> placed = mappedTrayIcon();
            if (!placed)
                return false;
            const QPoint middle = placed->center();
            QProcess::execute(QStringLiteral("xdotool"),
                              {QStringLiteral("mousemove"), QString::number(middle.x()), QString::number(middle.y())});
            return windowUnderPointer() == trayIconWindow();
        },
        seconds);
    if (!onIcon)
        return false;
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("click"), QString::number(button)});
    return true;
}

} // namespace tavrine::test

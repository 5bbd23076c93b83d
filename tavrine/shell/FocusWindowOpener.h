#pragma once

#include "tavrine/ui/FocusWindowOpening.h"
#include "tavrine/ui/PanelPlacement.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <optional>

class QQuickWindow;

namespace tavrine::shell {

class WindowSet;

// The one way to open and close the main window ("focus"): from the tray icon, the hot key, at launch, from a
// second launch, when a session finishes, at the end of the onboarding. The window opens under the tray icon
// once the tray host has placed it, at the top-right corner of the screen without a tray, and hides when another
// window becomes active, like the menu-bar panel it stands for. Main thread only.
class FocusWindowOpener : public QObject {
    Q_OBJECT
public:
    // Where the tray icon is; every part may be empty (no tray).
    struct Tray {
        std::function<bool()> available;
        std::function<std::optional<QRect>()> iconGeometry;
    };
    using Schedule = ui::OpenRetryChain::Schedule;

    // `schedule` runs the retries while the tray host places the icon; a timer when empty.
    explicit FocusWindowOpener(WindowSet& windows, QObject* parent = nullptr, Schedule schedule = {});
    ~FocusWindowOpener() override;

    void setTray(Tray tray) { m_tray = std::move(tray); }

    // Registers the "openMainWindow" hot key, whose release opens the window; once per opener.
    void install();
    bool installed() const { return m_installed; }

    // Brings the main window to the front, opening it first when hidden; always ends with it visible, at once
    // or after the tray's retries (about two seconds at most).
    virtual void open();
    // Hides the main window when it is visible; never opens it.
    virtual void closeFocusWindow();
    // The tray icon's click: hides a visible main window, else opens it.
    void toggle();
    // The main window, built on first need.
    QQuickWindow* focusWindow();
    // The main window when it is built and visible.
    bool focusWindowVisible() const;

    // Brings the History or Settings window forward from the main window: hides the main window at once, then
    // on the next turn opens the window through `open` (by default the window whose identifier is the
    // lowercased title), activates it and raises it once it exists.
    void showOrOpenWindow(const QString& title, std::function<void()> open = {});

    const ui::FocusWindowOpening& opening() const { return m_opening; }

signals:
    void opened();

protected:
    WindowSet& m_windows;

private:
    ui::FocusWindowOpening::Desktop desktop();
    void showAt(const ui::TrayPlacement& placement, QQuickWindow* window);
    void activate();
    void watch(QQuickWindow* window);
    void followHeight();

    Tray m_tray;
    ui::FocusWindowOpening m_opening;
    bool m_installed = false;
    QPointer<QQuickWindow> m_watched;
    ui::TrayPlacement::Edge m_keptEdge = ui::TrayPlacement::Edge::Top;
    // Where the window was put, kept up to date as its height follows its content.
    QRect m_placedFrame;
};

} // namespace tavrine::shell

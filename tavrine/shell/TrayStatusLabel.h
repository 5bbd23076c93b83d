#pragma once

#include "tavrine/ui/TrayLabel.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace tavrine {
class FocusSession;
}

namespace tavrine::shell {

// The tray item: the application's icon while no session runs, the session's minutes on its colour while one
// runs, is paused or a rehearsal is on stage. A click toggles the main window. Its context menu is the one
// Linux tray applications have, and the only way in on hosts that show nothing but an item's menu: "Open
// Tavrine" and "Quit Tavrine".
class TrayStatusLabel final : public QObject {
    Q_OBJECT
public:
    struct Actions {
        // Runs the first time the label is shown (the launch set-up).
        std::function<void()> onInstalled;
        // A click on the icon: toggles the main window.
        std::function<void()> onClicked;
        // The menu's "Open Tavrine": shows and raises the main window, never hides it.
        std::function<void()> onOpen;
        // The menu's "Quit Tavrine".
        std::function<void()> onQuit;
    };

    TrayStatusLabel(FocusSession& session, Actions actions, QObject* parent = nullptr);
    ~TrayStatusLabel() override;

    // Shows the item. Without a tray host nothing appears, but the item docks as soon as a host starts.
    void show();
    // Shows the icon and returns once the tray host has embedded it and it is drawn there at the size the host
    // gave it. Returns at once without a host that embeds icons (none, or one that draws the icon itself), and
    // after `limitMs` when the host does not get to it; answers whether the icon was drawn.
    bool showIconDrawn(int limitMs);
    bool isShown() const { return m_shown; }

    // The icon's area on the screen once an XEmbed tray host placed it; none under a StatusNotifierItem host
    // (which never tells) and before the icon is placed.
    std::optional<QRect> trayIconGeometry() const;
    // Whether a geometry Qt reports for the icon is where the host placed it, given the screens' areas.
    static std::optional<QRect> placedIconGeometry(const QRect& reported, const QList<QRect>& screens);
    static bool trayAvailable();

    ui::TrayLabelState state() const;
    QString toolTip() const;
    // How many times the icon's picture was replaced.
    int iconUpdates() const { return m_iconUpdates; }
    QSystemTrayIcon& trayIcon() const { return *m_icon; }
    QMenu& menu() const { return *m_menu; }
    QAction& openAction() const { return *m_open; }
    QAction& quitAction() const { return *m_quit; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    FocusSession& m_session;
    Actions m_actions;
    std::unique_ptr<QMenu> m_menu;
    QAction* m_open = nullptr;
    QAction* m_quit = nullptr;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    ui::TrayIconRenderer m_renderer;
    // The icon's own window while showIconDrawn waits for its first drawing on screen.
    QPointer<QWidget> m_embedded;
    bool m_embeddedDrawn = false;
    bool m_shown = false;
    bool m_installed = false;
    int m_iconUpdates = 0;
};

} // namespace tavrine::shell

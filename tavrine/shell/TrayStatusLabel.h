#pragma once

#include "tavrine/ui/TrayLabel.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>

class QSystemTrayIcon;

namespace tavrine {
class FocusSession;
}

namespace tavrine::shell {

// The tray item: the application's icon while no session runs, the session's minutes on its colour while one
// runs, is paused or a rehearsal is on stage. A click toggles the main window; there is no menu.
class TrayStatusLabel final : public QObject {
    Q_OBJECT
public:
    // `onInstalled` runs the first time the label is shown (the launch set-up); `onClicked` toggles the main
    // window.
    TrayStatusLabel(FocusSession& session, std::function<void()> onInstalled, std::function<void()> onClicked,
                    QObject* parent = nullptr);
    ~TrayStatusLabel() override;

    // Shows the item. Without a tray host nothing appears, but the item docks as soon as a host starts.
    void show();
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

private:
    void refresh();

    FocusSession& m_session;
    std::function<void()> m_onInstalled;
    std::function<void()> m_onClicked;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    ui::TrayIconRenderer m_renderer;
    bool m_shown = false;
    bool m_installed = false;
    int m_iconUpdates = 0;
};

} // namespace tavrine::shell

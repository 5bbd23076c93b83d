#pragma once

#include "tavrine/model/DesktopCompositing.h"

namespace tavrine::platform {

class X11RootWatcher;

// The compositing of the X display Qt shows on, followed on Qt's own connection: a compositing manager owns the
// selection _NET_WM_CM_S<screen> (XFixes tells each new owner and its going), and a blur announces itself with the
// root property _KDE_NET_WM_BLUR_BEHIND_REGION (KWin's blur effect; it is not listed in _NET_SUPPORTED). Main
// thread; under another Qt platform nothing runs and nothing blurs.
class X11Compositing final : public DesktopCompositing {
    Q_OBJECT
public:
    static constexpr const char* blurAnnouncement = "_KDE_NET_WM_BLUR_BEHIND_REGION";

    explicit X11Compositing(QObject* parent = nullptr);
    ~X11Compositing() override;

    // Changes are followed (the X server has XFixes); without it, the state read at the start stays.
    bool isFollowing() const { return m_following; }
    // Sets the blur request on the window (no rectangles: the whole window); compositors that do not know the
    // property ignore it.
    void requestBlurBehind(QWindow* window) override;

private:
    X11RootWatcher* m_root = nullptr;
    quint32 m_selection = 0;
    quint32 m_blur = 0;
    bool m_following = false;
};

} // namespace tavrine::platform

#pragma once

#include "tavrine/shell/NudgePresenting.h"

#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QSizeF>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class QQmlEngine;
class QQuickItem;
class QScreen;

namespace tavrine {
class DesktopCompositing;
}

namespace tavrine::shell {

// The panel that shows a nudge in a screen's camera notch. No Linux screen has one; the seam keeps the choice
// between the notch and the floating card in one place.
class NotchNudgePresenting {
public:
    virtual ~NotchNudgePresenting() = default;
    // Showing, or about to show, a nudge.
    virtual bool wantsOpen() const = 0;
    virtual void show(QScreen* screen, const QSizeF& notchSize) = 0;
    virtual void hide(bool animated) = 0;
};

// Shows the session's nudge: the card in a floating panel at the top-right corner of the main screen, with its
// close button in a small panel over the card's top-left corner. Both panels float over every window on every
// desktop and never take the keyboard focus; they are made on the first nudge and kept for the next ones.
class NudgePresenter final : public QObject, public NudgePresenting {
    Q_OBJECT
public:
    struct Parts {
        // The card and its close button (NudgeView and NudgeCloseButton), made with `properties` (the session,
        // the hover state).
        QUrl card;
        QUrl closeButton;
        QVariantMap properties;
        // The card's hover flags; its reset() is called when the card hides.
        QPointer<QObject> hover;
        // Plays the nudge sound from its start.
        std::function<void()> playSound;
        // The screen nudges show on; the active window's, else the pointer's, else the primary when none.
        std::function<QScreen*()> mainScreen;
        // The screen's notch; no Linux screen has one, so none when absent.
        std::function<std::optional<QSizeF>(QScreen*)> notchSize;
        std::function<std::unique_ptr<NotchNudgePresenting>()> makeNotch;
        // Where the pointer is on the screen; the cursor's position when absent.
        std::function<QPoint()> pointer;
        // The desktop's compositing, followed while the panels live: over a compositor they are clear around
        // their content and the close button fades (the card's fill is translucent only where the desktop also
        // blurs); without one they are opaque, cut to their outlines, and the button's panel shows and hides
        // instead. None: never composited.
        DesktopCompositing* compositing = nullptr;
    };

    NudgePresenter(QQmlEngine& engine, Parts parts, QObject* parent = nullptr);
    ~NudgePresenter() override;

    void presentNudge() override;
    void dismissNudge() override;
    // Makes the card's panels, hidden; a notched screen's panel is made by its own maker when it shows.
    void prepare() override;

    // The panels once made.
    QQuickWindow* cardPanel() const { return m_card.get(); }
    QQuickWindow* closePanel() const { return m_close.get(); }
    NotchNudgePresenting* notch() const { return m_notch.get(); }

    // The screen of the X11 active window, else the one under the pointer, else the primary.
    static QScreen* defaultMainScreen();

    // Whether the close button's panel is on screen: with the card, and where it cannot fade, only while the
    // hover flags say `shown`, or while the pointer is still on the button's square (the button itself, or the
    // corner between it and the card). Moving onto the button leaves the card before the button reports the
    // pointer; hiding the panel then would put the card back under the pointer, and the two would swap many
    // times a second while clicks fell through to the desktop.
    static bool closePanelWanted(bool cardVisible, bool followsShown, bool shown, bool closeVisible,
                                 const QPoint& pointer, const QRect& closeArea);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void updateClosePanel();
    void followCompositing();

private:
    void showFloating(QScreen* screen);
    void hideFloating();
    void buildPanels();
    void layoutFloating(QScreen* screen);
    // A sentence in the card where a nudge's reason goes, while it is drawn ahead; none once it shows.
    void standIn(bool shown);
    bool composited() const;
    void cutToOutline(QQuickWindow* panel, QQuickItem* root, const QSize& size);
    std::unique_ptr<QQuickWindow> makePanel(const QUrl& component, const char* id, QQuickItem** root);

    QQmlEngine& m_engine;
    Parts m_parts;
    std::unique_ptr<QQuickWindow> m_card;
    std::unique_ptr<QQuickWindow> m_close;
    QQuickItem* m_cardRoot = nullptr;
    QQuickItem* m_closeRoot = nullptr;
    std::unique_ptr<NotchNudgePresenting> m_notch;
    // The close button says through `shown` when it should be there, for a panel that cannot fade.
    bool m_closeTellsShown = false;
    // Looks again while only the pointer keeps the close button: no hover report comes when it moves away
    // from the button's square outside the round button.
    QTimer m_closeLinger;
};

} // namespace tavrine::shell

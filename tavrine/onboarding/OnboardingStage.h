#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/onboarding/OnboardingRehearsal.h"
#include "tavrine/onboarding/RehearsalPlaying.h"
#include "tavrine/onboarding/StageGeometry.h"

#include <QColor>
#include <QCoro/QCoroTask>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QRect>
#include <QRegion>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>
#include <vector>

class QQmlEngine;
class QQuickItem;
class QPropertyAnimation;

namespace tavrine {
class Clock;
class DesktopCompositing;
namespace platform {
class MotionPreference;
}
} // namespace tavrine

namespace tavrine::onboarding {

class CoachModel;
class OutOfSightDraw;
class StageSurroundings;

// The rehearsal on screen: a dimmed screen with a mock design tool and a mock video site on it, a coach panel
// under the window it talks about, and a pointer at the tray icon. The onboarding window hides while it plays.
// Escape skips, Return answers the beats that ask for it, activating the video answers the tempted beat.
//
// Five frameless windows that stay on top, on the host's screen; the four above the dim are its transients, so
// the window manager keeps them above it. The panels take no focus and the pointer no input. Main thread only.
class OnboardingStage final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the onboarding flow")
    Q_PROPERTY(bool presented READ isPresented NOTIFY presentedChanged)
    Q_PROPERTY(TrayEdge trayEdge READ trayEdge NOTIFY trayEdgeChanged)

public:
    // Where the tray is: the coach's wording of where to look follows it.
    enum class TrayEdge { Top, Bottom };
    Q_ENUM(TrayEdge)

    struct Parts {
        // The windows' contents (QML items). Each gets the properties it declares of "rehearsal", "stage",
        // "player", "model" (the coach's), "beat" and "reduceMotion"; the pointer also "pointsDown". A "next()" or
        // "skip()" signal reaches next() and requestSkip().
        QUrl design;
        QUrl video;
        QUrl coach;
        QUrl pointer;
        // A new player for each presentation; a silent one when none.
        std::function<std::unique_ptr<RehearsalPlaying>()> makePlayer;
        // None: no tray, no nudge card, and windows activate themselves.
        StageSurroundings* surroundings = nullptr;
        // Whether windows can be translucent, followed while the stage shows; never when none.
        DesktopCompositing* compositing = nullptr;
        // Whether the user asked for less motion; motion stays on when none.
        platform::MotionPreference* motion = nullptr;
    };
    // The contents shipped in this module.
    static Parts defaultParts();

    static constexpr int fadeInMs = 250;
    // The longest the stage waits for the host to draw the click's change before it shows.
    static constexpr int hostFrameLimitMs = 100;
    static constexpr int fadeOutMs = 220;
    static constexpr int coachMoveMs = 320;
    // A step of the coach's move: the screen's pace.
    static constexpr double coachStep = 1.0 / 60.0;
    static constexpr double pointerInterval = 0.25;
    // The mock windows' own backgrounds: a light design tool, a dark video site.
    static inline const QColor designBackground = QColor(Qt::white);
    static inline const QColor videoBackground = QColor::fromRgbF(0.06f, 0.06f, 0.06f);

    OnboardingStage(QQmlEngine& engine, Clock& clock, Parts parts, QObject* parent = nullptr);
    ~OnboardingStage() override;

    // Builds the stage's windows for `rehearsal` on `host`'s screen ahead of a presentation, hidden, one window
    // per turn of the event loop, and draws those that take long to draw the first time once, out of sight: a
    // presentation then only shows them. Drawing holds the main thread a while: call it where nothing on screen
    // moves. Nothing while presented or prepared.
    void prepare(OnboardingRehearsal* rehearsal, QWindow* host);
    // Drops windows built ahead that no presentation took.
    void discardPrepared();
    bool isPrepared() const { return !m_presented && m_built > 0; }

    // Shows the stage for `rehearsal` on `host`'s screen (the primary one without a host). The host stays, taking
    // no input, until the stage is on screen, and is hidden then: what the click changed on it shows at once, and
    // the bare desktop never does. Nothing while presented, and nothing without a screen.
    void present(OnboardingRehearsal* rehearsal, QWindow* host, std::function<void()> onSkip);
    // The windows follow the beat.
    void apply(OnboardingRehearsal::Beat beat);
    // What a dismissal does with the window hidden for the stage: a host that is closing, or one of a quitting
    // application, stays hidden rather than flashing on screen.
    enum class Host { GiveBack, KeepHidden };
    // Fades the stage out and brings the host back, active, unless told to keep it hidden. Nothing when not
    // presented.
    void dismiss(Host host = Host::GiveBack);
    // Whether the host is off screen for the stage: a change made to it now is seen only once it is back.
    bool hidesHost() const { return m_host && m_hostHidden; }

    // The close buttons and the coach's Skip.
    Q_INVOKABLE void requestSkip();
    // The coach's Next.
    Q_INVOKABLE void next();

    bool isPresented() const { return m_presented; }
    TrayEdge trayEdge() const { return m_trayEdge; }

    // One step of the 0.25 s loop: the pointer under the tray icon, the coach under its anchor.
    void placePointer();
    void layoutCoach(bool animated);

    QQuickWindow* dimWindow() const { return m_dim.get(); }
    QQuickWindow* designWindow() const { return m_design.get(); }
    QQuickWindow* videoWindow() const { return m_video.get(); }
    QQuickWindow* coachPanel() const { return m_coach.get(); }
    QQuickWindow* pointerPanel() const { return m_pointer.get(); }
    RehearsalPlaying* player() const { return m_player.get(); }
    // What the coach shows; none while not presented.
    CoachModel* coachModel() const { return m_coachModel.get(); }
    bool translucent() const { return m_compositor; }
    const QRect& availableFrame() const { return m_available; }
    // Where the coach is going (its frame once a move ends).
    const QRect& coachTarget() const { return m_coachTarget; }
    // Whether the dim, the design window and the coach have come on screen since the presentation.
    bool onScreen() const { return m_onScreen; }

signals:
    void presentedChanged();
    void trayEdgeChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // The panels' masks follow their sizes once these land and their contents' outlines.
    void renewMasks();
    // A compositor came or went while the stage shows: the dim and the panels take its look.
    void followCompositing();

private:
    std::unique_ptr<QQuickWindow> makeWindow(const QUrl& component, const char* role, Qt::WindowFlags flags,
                                             bool transparent, QQuickItem** content);
    // Takes the screen of `host` (the primary one without a host); false when there is none.
    bool takeScreen(QWindow* host);
    // Builds the next missing piece of the stage; false once all is built.
    bool buildStep();
    // Builds the stage a piece per turn of the event loop, then draws it ahead, while `generation` lasts.
    void buildAhead(quint64 generation);
    // The player and the video window, first needed with the tempted beat: built once the stage has come and
    // faded in, so that neither slows that.
    void buildVideo();
    void watchWindow(QQuickWindow* window);
    // Runs `then` once every one of `windows` is on screen, drawn (two seconds at most), unless the stage is
    // presented again or dismissed meanwhile.
    void whenOnScreen(std::vector<QPointer<QWindow>> windows, std::function<void()> then);
    void showStage();
    // Draws the mock design window and the panels once each, out of sight, from the `index`th on: their first
    // frames at presentation then come at the cost of any frame.
    void drawAhead(int index);
    void stageShown();
    void hideHost();
    void fadeIn(QWindow* window, bool activate);
    void fadeOut(QWindow* window, std::function<void()> done = {});
    void activate(QWindow* window);
    void setTakesMouse(QWindow* window, bool takes);
    void windowActivated(QQuickWindow* window);
    void raisePanels();
    void updateMask(QQuickWindow* window, QQuickItem* content, const QSize& size);
    void updateDimMask(const std::optional<QRectF>& icon);
    void syncCoach();
    void setOnContents(const char* name, const QVariant& value);
    QCoro::Task<void> pointerLoop(CancellationToken token, std::shared_ptr<bool> alive);

    QQmlEngine& m_engine;
    Clock& m_clock;
    Parts m_parts;
    // Before the windows: the coach's card reads it until its window goes.
    std::unique_ptr<CoachModel> m_coachModel;
    std::unique_ptr<QQuickWindow> m_design;
    std::unique_ptr<QQuickWindow> m_video;
    std::unique_ptr<QQuickWindow> m_coach;
    std::unique_ptr<QQuickWindow> m_pointer;
    std::unique_ptr<QQuickWindow> m_dim;
    QQuickItem* m_coachContent = nullptr;
    QQuickItem* m_pointerContent = nullptr;
    std::vector<QPointer<QQuickItem>> m_contents;
    // Windows fading out after a dismissal; each goes once its fade ends.
    std::vector<std::unique_ptr<QQuickWindow>> m_leaving;
    std::unique_ptr<RehearsalPlaying> m_player;
    QPointer<QWindow> m_host;
    QPointer<OutOfSightDraw> m_drawingAhead;
    QPointer<OnboardingRehearsal> m_rehearsal;
    std::function<void()> m_onSkip;
    std::optional<CancellationSource> m_pointerTimer;
    std::optional<CancellationSource> m_coachMove;
    QHash<QWindow*, QPointer<QPropertyAnimation>> m_fades;
    QRect m_coachTarget;
    QRegion m_dimMask;
    QRect m_screen;
    QRect m_available;
    stagegeometry::Layout m_layout;
    // How many pieces of the stage are built (see buildStep).
    int m_built = 0;
    bool m_presented = false;
    bool m_onScreen = false;
    bool m_hostHidden = false;
    // Counts presentations and dismissals: a wait for the screen started before one of them ends with nothing.
    quint64 m_generation = 0;
    bool m_compositor = false;
    bool m_filtering = false;
    TrayEdge m_trayEdge = TrayEdge::Top;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tavrine::onboarding

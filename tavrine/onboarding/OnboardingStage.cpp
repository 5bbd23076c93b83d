#include "tavrine/onboarding/OnboardingStage.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Error.h"
#include "tavrine/model/DesktopCompositing.h"
#include "tavrine/nudge/NudgeDesktop.h"
#include "tavrine/onboarding/CoachModel.h"
#include "tavrine/onboarding/OnScreenWatch.h"
#include "tavrine/onboarding/OutOfSightDraw.h"
#include "tavrine/onboarding/SampleTimeline.h"
#include "tavrine/onboarding/StageSurroundings.h"
#include "tavrine/onboarding/WindowMove.h"
#include "tavrine/platform/MotionPreference.h"
#include "tavrine/ui/Frosted.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QEasingCurve>
#include <QGuiApplication>
#include <QJSValue>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QRegion>
#include <QScreen>
#include <QTimer>

namespace tavrine::onboarding {

namespace {

// Over a compositor the screen shows through the dim; without one the dim is opaque.
QColor dimColor(bool compositor) {
    return compositor ? QColor::fromRgbF(0, 0, 0, 0.75) : QColor(Qt::black);
}

// Over a compositor a panel's own pixels are all that shows. Without one it is cut to its content's outline
// instead, black inside, so that the soft edges inside the cut blend with the dim under it, not with white.
QColor panelColor(bool compositor) {
    return compositor ? QColor(Qt::transparent) : QColor(Qt::black);
}

QEasingCurve coachEasing() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

bool declares(const QObject* object, const char* name) {
    return object->metaObject()->indexOfProperty(name) >= 0;
}

void setIfDeclared(QObject* object, const char* name, const QVariant& value) {
    if (declares(object, name))
        object->setProperty(name, value);
}

// Connects the content's parameterless `signal`, when it has one, to the stage's invokable `method`.
void forwardSignal(QObject* content, const char* signal, QObject* stage, const char* method) {
    const int from = content->metaObject()->indexOfSignal(signal);
    const int to = stage->metaObject()->indexOfMethod(method);
    if (from >= 0 && to >= 0)
        QObject::connect(content, content->metaObject()->method(from), stage, stage->metaObject()->method(to));
}

} // namespace

OnboardingStage::Parts OnboardingStage::defaultParts() {
    const QString uri = QStringLiteral("Tavrine.Onboarding");
    Parts parts;
    parts.design = ui::componentUrl(uri, QStringLiteral("RehearsalDesignWindow"));
    parts.video = ui::componentUrl(uri, QStringLiteral("RehearsalVideoWindow"));
    parts.coach = ui::componentUrl(uri, QStringLiteral("RehearsalCoach"));
    parts.pointer = ui::componentUrl(uri, QStringLiteral("MenuBarPointer"));
    return parts;
}

OnboardingStage::OnboardingStage(QQmlEngine& engine, Clock& clock, Parts parts, QObject* parent)
    : QObject(parent), m_engine(engine), m_clock(clock), m_parts(std::move(parts)) {
    if (m_parts.compositing)
        connect(m_parts.compositing, &DesktopCompositing::compositorRunningChanged, this,
                &OnboardingStage::followCompositing);
}

OnboardingStage::~OnboardingStage() {
    *m_alive = false;
    if (m_pointerTimer)
        m_pointerTimer->cancel();
    if (m_coachMove)
        m_coachMove->cancel();
    if (m_filtering)
        qApp->removeEventFilter(this);
    if (m_player)
        m_player->teardown();
}

std::unique_ptr<QQuickWindow> OnboardingStage::makeWindow(const QUrl& component, const char* role,
                                                          Qt::WindowFlags flags, bool transparent,
                                                          QQuickItem** content) {
    auto window = std::make_unique<QQuickWindow>();
    window->setObjectName(QString::fromLatin1(role));
    window->setProperty("_q_xcb_wm_window_role", QString::fromLatin1(role));
    window->setFlags(flags);
    // The video and the pointer come and go with the beats: hidden, a window keeps its graphics, so that it comes
    // back at the cost of one frame; they go with the stage.
    if (QScreen* screen = QGuiApplication::screenAt(m_available.center()))
        window->setScreen(screen);
    // A compositor may come or go while the stage shows: the window keeps its alpha channel either way.
    if (transparent)
        ui::Frosted::paint(*window, panelColor(m_compositor));
    if (content)
        *content = nullptr;
    if (component.isEmpty())
        return window;

    QQmlComponent qml(&m_engine, component);
    QObject* object = qml.beginCreate(m_engine.rootContext());
    auto* item = qobject_cast<QQuickItem*>(object);
    if (!item) {
        qWarning("Stage content %s did not load: %s", role, qPrintable(qml.errorString()));
        delete object;
        return window;
    }
    // Initial properties count as given for the content's required ones.
    QVariantMap given;
    const auto give = [item, &given](const char* name, const QVariant& value) {
        if (declares(item, name))
            given.insert(QString::fromLatin1(name), value);
    };
    give("rehearsal", QVariant::fromValue<QObject*>(m_rehearsal.data()));
    give("stage", QVariant::fromValue<QObject*>(this));
    give("player", QVariant::fromValue(dynamic_cast<QObject*>(m_player.get())));
    give("model", QVariant::fromValue<QObject*>(m_coachModel.get()));
    give("beat", m_rehearsal ? int(m_rehearsal->beat()) : 0);
    give("reduceMotion", m_parts.motion && m_parts.motion->reduceMotion());
    qml.setInitialProperties(item, given);
    qml.completeCreate();
    forwardSignal(item, "next()", this, "next()");
    forwardSignal(item, "skip()", this, "requestSkip()");
    m_contents.emplace_back(item);
    item->setParentItem(window->contentItem());
    item->setParent(window.get());
    QQuickWindow* raw = window.get();
    const auto fit = [raw, item] { item->setSize(QSizeF(raw->width(), raw->height())); };
    connect(raw, &QWindow::widthChanged, item, fit);
    connect(raw, &QWindow::heightChanged, item, fit);
    if (content)
        *content = item;
    return window;
}

bool OnboardingStage::takeScreen(QWindow* host) {
    QScreen* screen = host && host->screen() ? host->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    m_screen = screen->geometry();
    m_available = screen->availableGeometry();
    m_layout = stagegeometry::layout(m_screen, m_available);
    return true;
}

void OnboardingStage::prepare(OnboardingRehearsal* rehearsal, QWindow* host) {
    if (m_presented || m_built > 0 || !rehearsal || !takeScreen(host))
        return;
    m_rehearsal = rehearsal;
    m_compositor = m_parts.compositing && m_parts.compositing->compositorRunning();
    buildAhead(m_generation);
}

void OnboardingStage::buildAhead(quint64 generation) {
    // Presenting or discarding the stage starts another generation: what was built ahead is taken or gone.
    if (generation != m_generation || m_presented)
        return;
    // A piece per turn: the page under it keeps drawing meanwhile.
    if (buildStep())
        QTimer::singleShot(0, this, [this, generation] { buildAhead(generation); });
    else
        drawAhead(0);
}

void OnboardingStage::drawAhead(int index) {
    if (m_presented || m_built == 0)
        return;
    if (index == 0) {
        layoutCoach(false);
        m_pointer->setGeometry(stagegeometry::pointer(std::nullopt, m_screen, m_available).frame);
    }
    // Not the dim: one colour, quick to draw the first time, and the most memory to keep drawn.
    QQuickWindow* windows[] = {m_design.get(), m_coach.get(), m_pointer.get()};
    if (index >= int(std::size(windows)))
        return;
    // One at a time, a turn of the event loop apart.
    m_drawingAhead = new OutOfSightDraw(
        *windows[index],
        [this, index, generation = m_generation] {
            QTimer::singleShot(0, this, [this, index, generation] {
                if (generation == m_generation)
                    drawAhead(index + 1);
            });
        },
        this);
}

void OnboardingStage::discardPrepared() {
    if (m_presented || m_built == 0)
        return;
    ++m_generation;
    m_coachContent = nullptr;
    m_pointerContent = nullptr;
    m_contents.clear();
    // The coach's card reads its model: the window goes first.
    m_coach.reset();
    m_pointer.reset();
    m_design.reset();
    m_dim.reset();
    m_coachModel.reset();
    m_rehearsal.clear();
    m_coachTarget = QRect();
    m_built = 0;
}

bool OnboardingStage::buildStep() {
    const Qt::WindowFlags top = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    const Qt::WindowFlags panel = Qt::Tool | top | Qt::WindowDoesNotAcceptFocus;
    switch (m_built) {
    case 0:
        m_coachModel = std::make_unique<CoachModel>();
        m_coachModel->setClock(m_rehearsal ? &m_rehearsal->clock() : &m_clock);
        m_dim = makeWindow({}, "rehearsalDim", panel, true, nullptr);
        m_dim->setGeometry(m_layout.dim);
        break;
    case 1:
        m_design = makeWindow(m_parts.design, "rehearsalDesignWindow", Qt::Window | top, false, nullptr);
        m_design->setColor(designBackground);
        m_design->setGeometry(m_layout.design);
        break;
    case 2:
        m_coach = makeWindow(m_parts.coach, "rehearsalCoachPanel", panel, true, &m_coachContent);
        break;
    case 3:
        m_pointer = makeWindow(m_parts.pointer, "rehearsalPointerPanel", panel | Qt::WindowTransparentForInput, true,
                               &m_pointerContent);
        break;
    case 4:
        for (QQuickWindow* window : {m_design.get(), m_coach.get(), m_pointer.get()})
            watchWindow(window);
        for (QQuickWindow* panelWindow : {m_coach.get(), m_pointer.get()}) {
            connect(panelWindow, &QWindow::widthChanged, this, &OnboardingStage::renewMasks);
            connect(panelWindow, &QWindow::heightChanged, this, &OnboardingStage::renewMasks);
        }
        for (QQuickItem* content : {m_coachContent, m_pointerContent}) {
            const QMetaObject* type = content ? content->metaObject() : nullptr;
            const int outline = type ? type->indexOfProperty("outline") : -1;
            if (outline >= 0 && type->property(outline).hasNotifySignal()) {
                connect(content, type->property(outline).notifySignal(), this,
                        staticMetaObject.method(staticMetaObject.indexOfSlot("renewMasks()")));
            }
        }
        if (m_coachContent) {
            const auto refit = [this] { layoutCoach(true); };
            connect(m_coachContent, &QQuickItem::implicitWidthChanged, this, refit);
            connect(m_coachContent, &QQuickItem::implicitHeightChanged, this, refit);
        }
        // The X windows of those shown first now rather than when shown; the coach's waits for its size, which
        // it takes once presented.
        for (QQuickWindow* window : {m_dim.get(), m_design.get()})
            window->create();
        break;
    default:
        return false;
    }
    ++m_built;
    return true;
}

void OnboardingStage::watchWindow(QQuickWindow* window) {
    // The four above the dim are its transients, so the window manager keeps them above it.
    window->setTransientParent(m_dim.get());
    if (window == m_pointer.get())
        return;
    connect(window, &QWindow::activeChanged, this, [this, window] {
        // Not isActive(): a transient counts as active while any window of its parent's family has the
        // focus, so the video would read as activated when the focus leaves it for the design window.
        if (QGuiApplication::focusWindow() == window)
            windowActivated(window);
    });
}

void OnboardingStage::buildVideo() {
    if (!m_presented || m_video)
        return;
    m_player = m_parts.makePlayer ? m_parts.makePlayer() : nullptr;
    if (!m_player)
        m_player = std::make_unique<SilentRehearsalPlayer>();
    m_video = makeWindow(m_parts.video, "rehearsalVideoWindow",
                         Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint, false, nullptr);
    m_video->setColor(videoBackground);
    m_video->setGeometry(m_layout.video);
    watchWindow(m_video.get());
    m_video->create();
}

void OnboardingStage::present(OnboardingRehearsal* rehearsal, QWindow* host, std::function<void()> onSkip) {
    if (m_presented || !rehearsal)
        return;
    if (m_rehearsal != rehearsal)
        discardPrepared();
    if (!takeScreen(host))
        return;
    m_rehearsal = rehearsal;
    m_host = host;
    m_onSkip = std::move(onSkip);
    const bool compositor = m_parts.compositing && m_parts.compositing->compositorRunning();
    // Built for another compositing state: painted again below.
    const bool repaint = m_built > 0 && compositor != m_compositor;
    m_compositor = compositor;
    delete m_drawingAhead;
    while (buildStep()) {
    }
    m_presented = true;
    m_onScreen = false;
    ++m_generation;
    if (QScreen* screen = QGuiApplication::screenAt(m_available.center()))
        for (QQuickWindow* window : {m_dim.get(), m_design.get(), m_coach.get(), m_pointer.get()})
            window->setScreen(screen);
    m_dim->setGeometry(m_layout.dim);
    m_design->setGeometry(m_layout.design);
    ui::Frosted::paint(*m_dim, dimColor(m_compositor));
    if (repaint)
        for (QQuickWindow* panel : {m_coach.get(), m_pointer.get()})
            ui::Frosted::paint(*panel, panelColor(m_compositor));

    syncCoach();
    connect(rehearsal, &OnboardingRehearsal::beatChanged, m_coachModel.get(), [this] { syncCoach(); });
    connect(rehearsal, &OnboardingRehearsal::driftStartedChanged, m_coachModel.get(), [this] { syncCoach(); });
    connect(this, &OnboardingStage::trayEdgeChanged, m_coachModel.get(), [this] { syncCoach(); });
    if (m_parts.motion) {
        connect(m_parts.motion, &platform::MotionPreference::reduceMotionChanged, m_coachModel.get(),
                [this] { setOnContents("reduceMotion", m_parts.motion->reduceMotion()); });
    }
    setOnContents("beat", int(rehearsal->beat()));
    setOnContents("reduceMotion", m_parts.motion && m_parts.motion->reduceMotion());
    layoutCoach(false);

    qApp->installEventFilter(this);
    m_filtering = true;

    if (m_host)
        m_host->setFlag(Qt::WindowTransparentForInput, true);
    // The host draws what the click changed (the button it disables) before the stage's windows take the main
    // thread for their first frames.
    auto* quickHost = qobject_cast<QQuickWindow*>(m_host.data());
    if (quickHost && quickHost->isExposed())
        OnScreenWatch::afterNextFrame(*quickHost, hostFrameLimitMs, this, [this, generation = m_generation] {
            if (generation == m_generation)
                showStage();
        });
    else
        showStage();
    emit presentedChanged();
}

void OnboardingStage::showStage() {
    nudge::showOnAllDesktops(*m_dim);
    fadeIn(m_dim.get(), false);
    fadeIn(m_design.get(), true);
    fadeIn(m_coach.get(), false);
    whenOnScreen({m_dim.get(), m_design.get(), m_coach.get()}, [this] { stageShown(); });
}

void OnboardingStage::stageShown() {
    m_onScreen = true;
    m_pointerTimer.emplace();
    pointerLoop(m_pointerTimer->token(), m_alive);
    const quint64 generation = m_generation;
    // Over a compositor the host goes once the stage has faded in over it.
    if (m_compositor) {
        QTimer::singleShot(fadeInMs, this, [this, generation] {
            if (generation == m_generation)
                hideHost();
        });
    } else {
        hideHost();
    }
    // The video's window, first needed with the tempted beat, is built once the fades are over: it holds the main
    // thread for a while, and the fades move on the main thread.
    QTimer::singleShot(fadeInMs + fadeOutMs, this, [this, generation] {
        if (generation == m_generation)
            buildVideo();
    });
}

void OnboardingStage::hideHost() {
    QWindow* host = m_host;
    if (!host || m_hostHidden)
        return;
    m_hostHidden = true;
    fadeOut(host);
}

void OnboardingStage::whenOnScreen(std::vector<QPointer<QWindow>> windows, std::function<void()> then) {
    new OnScreenWatch(
        std::move(windows),
        [this, generation = m_generation, then = std::move(then)] {
            if (generation == m_generation)
                then();
        },
        this);
}

void OnboardingStage::apply(OnboardingRehearsal::Beat beat) {
    if (!m_presented)
        return;
    buildVideo();
    using Beat = OnboardingRehearsal::Beat;
    using Video = OnboardingRehearsal::Video;
    setOnContents("beat", int(beat));
    syncCoach();
    switch (beat) {
    case Beat::Working:
        break;
    case Beat::Tempted:
        m_player->setCurrent(Video::Detour, false);
        fadeIn(m_video.get(), false);
        break;
    case Beat::Drifting:
        setTakesMouse(m_design.get(), false);
        fadeIn(m_video.get(), true);
        m_player->play();
        break;
    case Beat::Nudged:
        m_player->pause();
        break;
    case Beat::Returned:
    case Beat::Finished:
        m_player->pause();
        fadeOut(m_video.get());
        setTakesMouse(m_design.get(), true);
        activate(m_design.get());
        break;
    case Beat::Researching:
        setTakesMouse(m_design.get(), false);
        m_player->setCurrent(Video::Tutorial, true);
        fadeIn(m_video.get(), true);
        break;
    }
    layoutCoach(true);
}

void OnboardingStage::dismiss(Host hostReturn) {
    if (!m_presented) {
        discardPrepared();
        return;
    }
    m_presented = false;
    m_onScreen = false;
    ++m_generation;
    if (m_pointerTimer) {
        m_pointerTimer->cancel();
        m_pointerTimer.reset();
    }
    if (m_filtering) {
        qApp->removeEventFilter(this);
        m_filtering = false;
    }
    if (m_coachMove) {
        m_coachMove->cancel();
        m_coachMove.reset();
    }
    if (m_player) {
        m_player->teardown();
        m_player.reset();
    }
    std::unique_ptr<QQuickWindow> windows[] = {std::move(m_design), std::move(m_video), std::move(m_coach),
                                               std::move(m_pointer), std::move(m_dim)};
    m_built = 0;
    m_coachContent = nullptr;
    m_pointerContent = nullptr;
    m_contents.clear();
    // The coach's card fades out with its window: its model stays until the window goes.
    if (CoachModel* model = m_coachModel.release()) {
        QObject::disconnect(this, nullptr, model, nullptr);
        QObject::disconnect(m_rehearsal, nullptr, model, nullptr);
        if (m_parts.motion)
            QObject::disconnect(m_parts.motion, nullptr, model, nullptr);
        if (windows[2])
            model->setParent(windows[2].get());
        else
            delete model;
    }
    m_onSkip = nullptr;
    m_rehearsal.clear();
    m_coachTarget = QRect();
    m_dimMask = QRegion();
    for (auto& window : windows) {
        if (!window)
            continue;
        window->disconnect(this);
        QQuickWindow* raw = window.get();
        m_leaving.push_back(std::move(window));
        fadeOut(raw, [this, raw] {
            m_fades.remove(raw);
            std::erase_if(m_leaving, [raw](const auto& leaving) { return leaving.get() == raw; });
        });
    }
    if (QWindow* host = m_host) {
        if (QPointer<QPropertyAnimation> fading = m_fades.take(host))
            fading->stop();
        host->setFlag(Qt::WindowTransparentForInput, false);
        // Whole at once: it comes back under the stage as that fades, never over the bare desktop.
        host->setOpacity(1.0);
        if (hostReturn == Host::GiveBack) {
            host->show();
            host->raise();
            if (m_parts.surroundings)
                m_parts.surroundings->activate(host);
            else
                host->requestActivate();
        } else {
            host->hide();
        }
    }
    m_host.clear();
    m_hostHidden = false;
    emit presentedChanged();
}

void OnboardingStage::syncCoach() {
    if (!m_coachModel || !m_rehearsal)
        return;
    const OnboardingRehearsal& rehearsal = *m_rehearsal;
    m_coachModel->setPace(rehearsal.pace());
    m_coachModel->setTrayEdge(m_trayEdge == TrayEdge::Bottom ? Qt::BottomEdge : Qt::TopEdge);
    m_coachModel->setDriftStarted(rehearsal.driftStartedDate());
    const QList<OnboardingRehearsal::Entry>& entered = rehearsal.entered();
    m_coachModel->setSampleTimeline(sampleTimeline(entered), entered.isEmpty() ? QDateTime() : entered.first().date,
                                    !entered.isEmpty());
    m_coachModel->setBeat(int(rehearsal.beat()));
}

void OnboardingStage::setOnContents(const char* name, const QVariant& value) {
    for (const QPointer<QQuickItem>& content : m_contents) {
        if (content)
            setIfDeclared(content, name, value);
    }
}

void OnboardingStage::requestSkip() {
    if (auto onSkip = m_onSkip)
        onSkip();
}

void OnboardingStage::next() {
    if (m_rehearsal)
        m_rehearsal->answerNext();
}

bool OnboardingStage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && m_presented && (watched == m_design.get() || watched == m_video.get())) {
        // The stage's windows never close: their close buttons skip the rehearsal.
        event->ignore();
        requestSkip();
        return true;
    }
    // Keys reach the window first and its items afterwards: judged once, at the window.
    if (event->type() != QEvent::KeyPress || !watched->isWindowType())
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
        requestSkip();
        return true;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_rehearsal && m_rehearsal->takesNext()) {
        m_rehearsal->answerNext();
        return true;
    }
    return false;
}

void OnboardingStage::windowActivated(QQuickWindow* window) {
    if (!m_rehearsal)
        return;
    if (window == m_video.get())
        m_rehearsal->answerVideoActivated();
    raisePanels();
}

void OnboardingStage::raisePanels() {
    // The window manager raises an activated window over its siblings: the coach and the pointer talk about the
    // mock windows and stay over them, and the nudge card over everything while it shows.
    for (QQuickWindow* panel : {m_coach.get(), m_pointer.get()}) {
        if (panel && panel->isVisible())
            panel->raise();
    }
    if (m_rehearsal && m_rehearsal->beat() == OnboardingRehearsal::Beat::Nudged && m_parts.surroundings)
        m_parts.surroundings->raiseNudge();
}

void OnboardingStage::activate(QWindow* window) {
    window->raise();
    if (m_parts.surroundings)
        m_parts.surroundings->activate(window);
    else
        window->requestActivate();
}

void OnboardingStage::setTakesMouse(QWindow* window, bool takes) {
    window->setFlag(Qt::WindowTransparentForInput, !takes);
}

void OnboardingStage::fadeIn(QWindow* window, bool activateIt) {
    if (QPointer<QPropertyAnimation> running = m_fades.take(window))
        running->stop();
    const bool coming = !window->isVisible();
    if (coming) {
        window->setOpacity(m_compositor ? 0.0 : 1.0);
        window->setProperty("_q_showWithoutActivating", !activateIt);
        window->show();
    }
    if (activateIt)
        activate(window);
    else
        window->raise();
    if (window == m_design.get() || window == m_video.get())
        raisePanels();
    if (!m_compositor) {
        window->setOpacity(1.0);
        return;
    }
    const auto fade = [this, target = QPointer<QWindow>(window)] {
        if (!target)
            return;
        auto* animation = new QPropertyAnimation(target, "opacity", target);
        animation->setDuration(fadeInMs);
        animation->setEndValue(1.0);
        m_fades.insert(target, animation);
        animation->start(QAbstractAnimation::DeleteWhenStopped);
    };
    // A window drawn out of sight first fades in from where it shows, not while nobody sees it.
    if (coming)
        whenOnScreen({window}, fade);
    else
        fade();
}

void OnboardingStage::fadeOut(QWindow* window, std::function<void()> done) {
    if (QPointer<QPropertyAnimation> running = m_fades.take(window))
        running->stop();
    if (!m_compositor || !window->isVisible()) {
        window->setOpacity(0.0);
        window->hide();
        if (done)
            QMetaObject::invokeMethod(this, std::move(done), Qt::QueuedConnection);
        return;
    }
    auto* animation = new QPropertyAnimation(window, "opacity", window);
    animation->setDuration(fadeOutMs);
    animation->setEndValue(0.0);
    m_fades.insert(window, animation);
    connect(animation, &QPropertyAnimation::finished, this, [this, window, done = std::move(done)] {
        // A window faded in again meanwhile stays.
        if (window->opacity() == 0.0)
            window->hide();
        if (done)
            QMetaObject::invokeMethod(this, done, Qt::QueuedConnection);
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void OnboardingStage::layoutCoach(bool animated) {
    if (!m_coach || !m_rehearsal || !m_design)
        return;
    // The card's layouts settle first: read before, a new content's size would be the old one, and the card would
    // first move to that.
    if (m_coachContent)
        WindowMove::settleLayouts(*m_coachContent);
    QSizeF size(m_coach->width(), m_coach->height());
    if (m_coachContent)
        size = QSizeF(m_coachContent->implicitWidth(), m_coachContent->implicitHeight());
    if (!(size.width() > 0) || !(size.height() > 0))
        return;
    std::optional<QRectF> nudge;
    if (m_rehearsal->beat() == OnboardingRehearsal::Beat::Nudged && m_parts.surroundings)
        nudge = m_parts.surroundings->nudgeFrame();
    // The video window stands where the layout put it, shown or not yet built.
    const QRectF anchor = stagegeometry::coachAnchor(m_rehearsal->beat(), QRectF(m_design->geometry()),
                                                     QRectF(m_video ? m_video->geometry() : m_layout.video), nudge);
    const QRect frame = stagegeometry::coachFrame(anchor, size, m_available);
    if (frame == m_coachTarget)
        return;
    const bool resized = frame.size() != m_coachTarget.size();
    m_coachTarget = frame;
    if (m_coachMove) {
        m_coachMove->cancel();
        m_coachMove.reset();
    }
    if (resized)
        updateMask(m_coach.get(), m_coachContent, frame.size());
    if (!animated || !m_coach->isVisible()) {
        m_coach->setGeometry(frame);
        return;
    }
    m_coachMove.emplace();
    WindowMove::run(m_coach.get(), m_coach->geometry(), frame, coachMoveMs / 1000.0, coachStep, coachEasing(), m_clock,
                    m_coachMove->token());
}

void OnboardingStage::placePointer() {
    if (!m_pointer)
        return;
    std::optional<QRectF> icon;
    if (m_parts.surroundings)
        icon = m_parts.surroundings->trayIconFrame();
    updateDimMask(icon);
    const stagegeometry::PointerPlacement placement = stagegeometry::pointer(icon, m_screen, m_available);
    if (!placement.visible) {
        if (m_pointer->isVisible())
            fadeOut(m_pointer.get());
        return;
    }
    const TrayEdge edge = placement.edge == stagegeometry::TrayEdge::Bottom ? TrayEdge::Bottom : TrayEdge::Top;
    if (edge != m_trayEdge) {
        m_trayEdge = edge;
        emit trayEdgeChanged();
    }
    bool flipped = false;
    if (m_pointerContent && m_pointerContent->metaObject()->indexOfProperty("pointsDown") >= 0 &&
        m_pointerContent->property("pointsDown").toBool() != placement.pointsDown) {
        m_pointerContent->setProperty("pointsDown", placement.pointsDown);
        flipped = true;
    }
    // The content's outline follows the arrow on its own.
    if (m_pointerContent)
        setIfDeclared(m_pointerContent, "arrowOffset", placement.arrowOffset);
    if (m_pointer->geometry() != placement.frame) {
        const bool resized = m_pointer->geometry().size() != placement.frame.size();
        m_pointer->setGeometry(placement.frame);
        flipped = flipped || resized;
    }
    if (flipped)
        updateMask(m_pointer.get(), m_pointerContent, placement.frame.size());
    if (!m_pointer->isVisible() || m_pointer->opacity() < 1.0)
        fadeIn(m_pointer.get(), false);
}

void OnboardingStage::updateMask(QQuickWindow* window, QQuickItem* content, const QSize& size) {
    if (m_compositor || !window || size.isEmpty())
        return;
    // Without a compositor nothing is translucent: the panel is cut to its content's outline instead. The
    // content gives it as "outline" (shapes) or "outlineRadius" (the whole window with rounded corners).
    QVariant outline = content ? content->property("outline") : QVariant();
    if (outline.metaType() == QMetaType::fromType<QJSValue>())
        outline = outline.value<QJSValue>().toVariant();
    const double radius = content ? content->property("outlineRadius").toDouble() : 0.0;
    window->setMask(stagegeometry::outlineMask(outline.toList(), radius, size));
}

void OnboardingStage::renewMasks() {
    if (m_coach)
        updateMask(m_coach.get(), m_coachContent, m_coach->size());
    if (m_pointer)
        updateMask(m_pointer.get(), m_pointerContent, m_pointer->size());
}

void OnboardingStage::followCompositing() {
    const bool compositor = m_parts.compositing && m_parts.compositing->compositorRunning();
    if (!m_presented || compositor == m_compositor)
        return;
    m_compositor = compositor;
    ui::Frosted::paint(*m_dim, dimColor(compositor));
    for (QQuickWindow* panel : {m_coach.get(), m_pointer.get()}) {
        ui::Frosted::paint(*panel, panelColor(compositor));
        if (compositor)
            panel->setMask(QRegion());
    }
    renewMasks();
}

void OnboardingStage::updateDimMask(const std::optional<QRectF>& icon) {
    if (!m_dim)
        return;
    const QRegion mask = stagegeometry::dimMask(m_dim->geometry(), icon);
    if (mask == m_dimMask)
        return;
    m_dimMask = mask;
    m_dim->setMask(mask);
}

QCoro::Task<void> OnboardingStage::pointerLoop(CancellationToken token, std::shared_ptr<bool> alive) {
    try {
        for (;;) {
            if (!*alive || token.isCancelled())
                co_return;
            placePointer();
            layoutCoach(true);
            co_await m_clock.sleep(pointerInterval, token);
        }
    } catch (const CancelledError&) {
    } catch (const std::exception& error) {
        qWarning("Stage pointer loop failed: %s", error.what());
    }
}

} // namespace tavrine::onboarding

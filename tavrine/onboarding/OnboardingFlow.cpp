#include "tavrine/onboarding/OnboardingFlow.h"

#include "tavrine/core/Text.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/model/PrivacySettingsOpening.h"
#include "tavrine/onboarding/ScreenRecordingRequest.h"
#include "tavrine/platform/MotionPreference.h"
#include "tavrine/platform/Permissions.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/ui/DurationModel.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(logOnboarding)

namespace tavrine::onboarding {

OnboardingFlow::OnboardingFlow(FocusSession& session, std::unique_ptr<OnboardingRehearsal> rehearsal,
                               std::unique_ptr<OnboardingStage> stage, UserDefaults& defaults,
                               platform::Permissions* permissions, QStringList arguments, Hooks hooks, QObject* parent)
    : QObject(parent), m_session(session), m_rehearsal(std::move(rehearsal)), m_stage(std::move(stage)),
      m_defaults(defaults), m_permissions(permissions), m_arguments(std::move(arguments)), m_hooks(std::move(hooks)),
      m_duration(new ui::DurationModel(defaults, session.minutes(), this)),
      m_typed(new TypedIntentionModel(rehearsalIntention, m_rehearsal->clock(), nullptr, this)) {
    connect(m_rehearsal.get(), &OnboardingRehearsal::runningChanged, this, &OnboardingFlow::rehearsalRunningChanged);
    connect(&m_session, &FocusSession::intentionChanged, this, [this] {
        emit intentionChanged();
        emit primaryTitleChanged();
    });
    // The ready page's selector and the session share one planned length.
    connect(&m_session, &FocusSession::minutesChanged, m_duration,
            [this] { m_duration->setMinutes(m_session.minutes()); });
    connect(m_duration, &ui::DurationModel::minutesChanged, this,
            [this] { m_session.setMinutes(m_duration->minutes()); });
    // Coming back from the desktop's settings is how a grant shows: no polling.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::applicationStateChanged, this, &OnboardingFlow::applicationStateChanged);
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            m_gone = true;
            windowDisappeared();
        });
    const bool accessibility = m_permissions && m_permissions->accessibilityGranted();
    const bool screen = m_permissions && m_permissions->screenCaptureGranted();
    m_accessibility = accessibility;
    m_screen = screen;
}

OnboardingFlow::~OnboardingFlow() {
    m_gone = true;
    // The stage's windows bind to the rehearsal: they go first.
    m_stage->dismiss(OnboardingStage::Host::KeepHidden);
    m_stage.reset();
}

void OnboardingFlow::setMotionPreference(platform::MotionPreference* motion) {
    if (m_motion)
        disconnect(m_motion, nullptr, this, nullptr);
    m_motion = motion;
    delete m_typed;
    m_typed = new TypedIntentionModel(rehearsalIntention, m_rehearsal->clock(), motion, this);
    if (motion)
        connect(motion, &platform::MotionPreference::reduceMotionChanged, this, &OnboardingFlow::reduceMotionChanged);
    emit reduceMotionChanged();
}

bool OnboardingFlow::reduceMotion() const {
    return m_motion && m_motion->reduceMotion();
}

QString OnboardingFlow::primaryTitle() const {
    if (m_page == OnboardingPage::Ready && !intentionIsEmpty())
        return QStringLiteral("Start focus session");
    return pageTable(m_page).primaryTitle;
}

QString OnboardingFlow::settingsFileProblem() const {
    return m_defaults.problem();
}

QString OnboardingFlow::intention() const {
    return m_session.intention();
}

void OnboardingFlow::setIntention(const QString& intention) {
    m_session.setIntention(intention);
}

bool OnboardingFlow::intentionIsEmpty() const {
    return text::trimmed(m_session.intention()).isEmpty();
}

QVariantList OnboardingFlow::backdropPalette(int page) const {
    QVariantList colors;
    for (const QColor& color : pageTable(pageFromRaw(page).value_or(OnboardingPage::Welcome)).palette)
        colors << QVariant::fromValue(color);
    return colors;
}

void OnboardingFlow::storePage(int value) {
    m_defaults.setInteger(QString::fromLatin1(pageKey), value);
}

void OnboardingFlow::setPage(OnboardingPage page, bool forward, bool animated) {
    if (page == m_page)
        return;
    m_movingForward = forward;
    m_pageAnimated = animated;
    m_page = page;
    storePage(int(page));
    emit pageChanged();
    emit primaryTitleChanged();
    if (page == OnboardingPage::Ready)
        emit focusIntention();
    prepareStage();
}

bool OnboardingFlow::stageDue() const {
    return (m_page == OnboardingPage::Permissions || m_page == OnboardingPage::Rehearsal) && m_onScreen && !m_gone;
}

void OnboardingFlow::prepareStage() {
    if (!stageDue()) {
        m_stage->discardPrepared();
        return;
    }
    // Once the page has come in. Drawing the stage's windows the first time holds the main thread for a while:
    // the permissions page, which nothing animates, is where that goes unseen, and the rehearsal's page then shows
    // its stage at once when started.
    QTimer::singleShot(stagePreparationDelayMs, this, [this] {
        if (!stageDue() || rehearsalRunning())
            return;
        m_rehearsal->prepareSpeaker();
        m_stage->prepare(m_rehearsal.get(), m_hooks.hostWindow ? m_hooks.hostWindow() : nullptr);
    });
}

void OnboardingFlow::advance() {
    const qsizetype i = pageSequence().indexOf(m_page);
    if (i < 0 || i + 1 >= pageSequence().size())
        return;
    setPage(pageSequence().at(i + 1), true, true);
}

void OnboardingFlow::goBack() {
    const qsizetype i = pageSequence().indexOf(m_page);
    if (i <= 0)
        return;
    setPage(pageSequence().at(i - 1), false, true);
}

void OnboardingFlow::primaryAction() {
    if (!primaryEnabled())
        return;
    switch (m_page) {
    case OnboardingPage::Rehearsal:
        startRehearsal();
        return;
    case OnboardingPage::Ready:
        finish(true);
        return;
    case OnboardingPage::Welcome:
    case OnboardingPage::Permissions:
        advance();
        return;
    }
}

void OnboardingFlow::restorePage() {
    // "--onboarding" always opens on welcome; the stored page stays until the user moves.
    if (m_arguments.contains(QString::fromLatin1(onboardingArgument)))
        return;
    // A value stored as anything but an integer reads as none: welcome.
    const std::optional<qint64> stored = m_defaults.integerValue(QString::fromLatin1(pageKey));
    if (!stored)
        return;
    const std::optional<OnboardingPage> page = pageFromRaw(*stored);
    if (!page || *page == m_page)
        return;
    m_page = *page;
    m_pageAnimated = false;
    emit pageChanged();
    emit primaryTitleChanged();
    if (m_page == OnboardingPage::Ready)
        emit focusIntention();
}

void OnboardingFlow::refreshAccess() {
    if (readAccess())
        emit permissionsChanged();
}

bool OnboardingFlow::readAccess() {
    m_session.refreshPermissions();
    const bool accessibility = m_permissions && m_permissions->accessibilityGranted();
    const bool screen = m_permissions && m_permissions->screenCaptureGranted();
    if (accessibility == m_accessibility && screen == m_screen)
        return false;
    m_accessibility = accessibility;
    m_screen = screen;
    return true;
}

void OnboardingFlow::requestAccessibility() {
    const bool captionBefore = restartCaptionShown();
    FocusSession::openPrivacySettings(PrivacySettingsOpening::accessibilityAnchor);
    // No settings window opens on this desktop: the call's return is the user's coming back.
    m_accessibilityRequested = true;
    const bool flagsChanged = readAccess();
    if (!m_accessibility)
        qCInfo(logOnboarding) << "Accessibility is still off after the request";
    if (flagsChanged || captionBefore != restartCaptionShown())
        emit permissionsChanged();
}

void OnboardingFlow::requestScreenRecording() {
    onboarding::requestScreenRecording();
}

void OnboardingFlow::startRehearsal() {
    QWindow* host = m_hooks.hostWindow ? m_hooks.hostWindow() : nullptr;
    m_rehearsal->setPace(m_arguments.contains(QString::fromLatin1(fastRehearsalArgument)) ? fastPace : 1.0);
    m_rehearsal->setOnBeat([stage = QPointer<OnboardingStage>(m_stage.get())](OnboardingRehearsal::Beat beat) {
        if (stage)
            stage->apply(beat);
    });
    const bool started = m_rehearsal->start(&m_session, [self = QPointer<OnboardingFlow>(this)] {
        if (self)
            self->endRehearsal();
    });
    if (!started) {
        emit rehearsalRefused();
        advance();
        return;
    }
    m_stage->present(m_rehearsal.get(), host, [rehearsal = QPointer<OnboardingRehearsal>(m_rehearsal.get())] {
        if (rehearsal)
            rehearsal->skip();
    });
}

void OnboardingFlow::skipRehearsal() {
    m_rehearsal->skip();
}

void OnboardingFlow::endRehearsal() {
    // The window off screen for the stage comes back on the page after the rehearsal, whole: a slide started as
    // it comes would first show the rehearsal's page still, under the next page's buttons.
    const bool away = m_stage->hidesHost();
    if (m_page == OnboardingPage::Rehearsal) {
        const qsizetype i = pageSequence().indexOf(m_page);
        if (i + 1 < pageSequence().size())
            setPage(pageSequence().at(i + 1), true, !away);
    }
    // A window the user shut, or one of a quitting application, stays shut: not even a moment on screen.
    m_stage->dismiss(m_gone ? OnboardingStage::Host::KeepHidden : OnboardingStage::Host::GiveBack);
}

void OnboardingFlow::windowDisappeared() {
    m_onScreen = false;
    m_stage->discardPrepared();
    m_typed->end();
    // Only a running script is ended; a finished rehearsal is left as it is.
    m_rehearsal->skip();
}

void OnboardingFlow::windowShown() {
    if (m_onScreen)
        return;
    m_onScreen = true;
    m_gone = false;
    refreshAccess();
    restorePage();
    prepareStage();
}

void OnboardingFlow::windowClosing() {
    m_gone = true;
    windowDisappeared();
}

void OnboardingFlow::applicationStateChanged(Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive)
        refreshAccess();
}

void OnboardingFlow::notNow() {
    storePage(0);
    completeOnboarding();
}

void OnboardingFlow::finish(bool startSession) {
    storePage(0);
    // The window closes before any check: a session that cannot start still ends the onboarding.
    if (m_hooks.onComplete)
        m_hooks.onComplete();
    if (m_hooks.hideWindow)
        m_hooks.hideWindow();
    if (startSession) {
        m_session.refreshPermissions();
        const bool free = !m_session.isActive() && !m_session.rehearsalIntention().has_value();
        if (intentionIsEmpty()) {
            if (free && m_session.canStartFocusMode()) {
                m_session.setIntention(QString());
                m_session.start(true);
            }
        } else if (free && m_session.canStart()) {
            m_session.start(false);
        }
    }
    // The main window opens on what the start left: the running session, not the setup it replaced.
    if (m_hooks.openFocusWindow)
        m_hooks.openFocusWindow();
    m_gone = true;
    windowDisappeared();
}

void OnboardingFlow::completeOnboarding() {
    m_gone = true;
    if (m_hooks.onComplete)
        m_hooks.onComplete();
    if (m_hooks.hideWindow)
        m_hooks.hideWindow();
    windowDisappeared();
    if (m_hooks.openFocusWindow)
        m_hooks.openFocusWindow();
}

} // namespace tavrine::onboarding

#include "tavrine/onboarding/OnboardingFlow.h"

#include "tavrine/core/UserDefaults.h"
#include "tavrine/platform/Permissions.h"
#include "tavrine/session/FocusSession.h"

#include <algorithm>

namespace tavrine::onboarding {

OnboardingFlow::OnboardingFlow(FocusSession& session, std::unique_ptr<OnboardingRehearsal> rehearsal,
                               std::unique_ptr<OnboardingStage> stage, UserDefaults& defaults,
                               platform::Permissions* permissions, QStringList arguments, Hooks hooks,
                               QObject* parent)
    : QObject(parent), m_session(session), m_rehearsal(std::move(rehearsal)), m_stage(std::move(stage)),
      m_defaults(defaults), m_permissions(permissions), m_arguments(std::move(arguments)), m_hooks(std::move(hooks)) {
    const qint64 stored = m_defaults.integerValue(QString::fromLatin1(pageKey)).value_or(0);
    m_page = int(std::clamp<qint64>(stored, 0, pages - 1));
    connect(m_rehearsal.get(), &OnboardingRehearsal::runningChanged, this, &OnboardingFlow::rehearsalRunningChanged);
    refreshPermissions();
}

OnboardingFlow::~OnboardingFlow() {
    // The stage's windows bind to the rehearsal: they go first.
    m_stage->dismiss();
    m_stage.reset();
}

void OnboardingFlow::setPage(int page) {
    page = std::clamp(page, 0, pages - 1);
    m_defaults.setInteger(QString::fromLatin1(pageKey), page);
    if (page == m_page)
        return;
    m_page = page;
    emit pageChanged();
}

void OnboardingFlow::forward() {
    if (m_page + 1 < pages)
        setPage(m_page + 1);
}

void OnboardingFlow::back() {
    if (m_page > 0)
        setPage(m_page - 1);
}

void OnboardingFlow::refreshPermissions() {
    const bool accessibility = m_permissions && m_permissions->accessibilityGranted();
    const bool screen = m_permissions && m_permissions->screenCaptureGranted();
    if (accessibility == m_accessibility && screen == m_screen)
        return;
    m_accessibility = accessibility;
    m_screen = screen;
    emit permissionsChanged();
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
        forward();
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
    m_stage->dismiss();
    if (m_page == rehearsalPage)
        forward();
    emit rehearsalEnded();
}

void OnboardingFlow::completeOnboarding() {
    // Leaving the flow ends a rehearsal still on.
    m_rehearsal->skip();
    if (m_hooks.onComplete)
        m_hooks.onComplete();
    if (m_hooks.hideWindow)
        m_hooks.hideWindow();
    if (m_hooks.openFocusWindow)
        m_hooks.openFocusWindow();
}

} // namespace tavrine::onboarding

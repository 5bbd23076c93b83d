#pragma once

#include "tavrine/onboarding/OnboardingRehearsal.h"
#include "tavrine/onboarding/OnboardingStage.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>

class QWindow;

namespace tavrine {
class FocusSession;
class UserDefaults;
} // namespace tavrine
namespace tavrine::platform {
class Permissions;
}

namespace tavrine::onboarding {

// The first-run flow behind the onboarding window: the page reached (kept in "onboardingPage"), the two
// permissions as last read, and the one rehearsal with its one stage. The pages are QML; every rule is here.
class OnboardingFlow final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the application")
    Q_PROPERTY(int page READ page WRITE setPage NOTIFY pageChanged)
    Q_PROPERTY(int pageCount READ pageCount CONSTANT)
    Q_PROPERTY(bool rehearsalRunning READ rehearsalRunning NOTIFY rehearsalRunningChanged)
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY permissionsChanged)
    Q_PROPERTY(bool screenGranted READ screenGranted NOTIFY permissionsChanged)
    Q_PROPERTY(tavrine::onboarding::OnboardingRehearsal* rehearsal READ rehearsal CONSTANT)
    Q_PROPERTY(tavrine::onboarding::OnboardingStage* stage READ stage CONSTANT)

public:
    static constexpr const char* pageKey = "onboardingPage";
    static constexpr const char* fastRehearsalArgument = "--fast-rehearsal";
    static constexpr double fastPace = 0.35;
    // The pages, in order. The rehearsal page is the only one so far.
    static constexpr int rehearsalPage = 0;
    static constexpr int pages = 1;

    struct Hooks {
        // Records that the onboarding was completed.
        std::function<void()> onComplete;
        // Hides the onboarding window.
        std::function<void()> hideWindow;
        std::function<void()> openFocusWindow;
        // What the stage hides while it plays: the focused window, else the onboarding window; may be none.
        std::function<QWindow*()> hostWindow;
    };

    OnboardingFlow(FocusSession& session, std::unique_ptr<OnboardingRehearsal> rehearsal,
                   std::unique_ptr<OnboardingStage> stage, UserDefaults& defaults, platform::Permissions* permissions,
                   QStringList arguments, Hooks hooks, QObject* parent = nullptr);
    ~OnboardingFlow() override;

    int page() const { return m_page; }
    // Kept within the pages; stored.
    void setPage(int page);
    int pageCount() const { return pages; }
    bool rehearsalRunning() const { return m_rehearsal->isRunning(); }
    bool accessibilityGranted() const { return m_accessibility; }
    bool screenGranted() const { return m_screen; }
    OnboardingRehearsal* rehearsal() const { return m_rehearsal.get(); }
    OnboardingStage* stage() const { return m_stage.get(); }

    // "Start focus session": the rehearsal on the stage. Refused (a session or a rehearsal is on), the flow
    // moves on without one.
    Q_INVOKABLE void startRehearsal();
    // Skip or leave during the rehearsal: the script stops and the rehearsal ends.
    Q_INVOKABLE void skipRehearsal();
    Q_INVOKABLE void forward();
    Q_INVOKABLE void back();
    // The end of the flow: completion recorded, the onboarding window hidden, the main window opened.
    Q_INVOKABLE void completeOnboarding();
    Q_INVOKABLE void refreshPermissions();

signals:
    void pageChanged();
    void rehearsalRunningChanged();
    void permissionsChanged();
    void rehearsalRefused();
    void rehearsalEnded();

private:
    void endRehearsal();

    FocusSession& m_session;
    std::unique_ptr<OnboardingRehearsal> m_rehearsal;
    std::unique_ptr<OnboardingStage> m_stage;
    UserDefaults& m_defaults;
    platform::Permissions* m_permissions;
    QStringList m_arguments;
    Hooks m_hooks;
    int m_page = 0;
    bool m_accessibility = false;
    bool m_screen = false;
};

} // namespace tavrine::onboarding

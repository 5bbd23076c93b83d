#pragma once

#include "tavrine/onboarding/OnboardingPages.h"
#include "tavrine/onboarding/OnboardingRehearsal.h"
#include "tavrine/onboarding/OnboardingStage.h"
#include "tavrine/onboarding/TypedIntentionModel.h"
#include "tavrine/ui/DurationModel.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>

class QWindow;

namespace tavrine {
class FocusSession;
class UserDefaults;
} // namespace tavrine
namespace tavrine::platform {
class MotionPreference;
class Permissions;
} // namespace tavrine::platform

namespace tavrine::onboarding {

// The first-run flow behind the onboarding window: the page on screen (kept in "onboardingPage"), the two
// permissions as last read, the one rehearsal with its one stage, and the ready page's way out into the first
// session. The pages are QML; every rule is here.
class OnboardingFlow final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the application")
    Q_PROPERTY(int page READ pageValue NOTIFY pageChanged)
    Q_PROPERTY(int pageIndex READ pageIndex NOTIFY pageChanged)
    Q_PROPERTY(bool movingForward READ movingForward NOTIFY pageChanged)
    Q_PROPERTY(bool pageAnimated READ pageAnimated NOTIFY pageChanged)
    Q_PROPERTY(QString title READ title NOTIFY pageChanged)
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY pageChanged)
    Q_PROPERTY(QString primaryTitle READ primaryTitle NOTIFY primaryTitleChanged)
    Q_PROPERTY(QString primaryObjectName READ primaryObjectName NOTIFY pageChanged)
    Q_PROPERTY(bool primaryEnabled READ primaryEnabled NOTIFY rehearsalRunningChanged)
    Q_PROPERTY(bool backEnabled READ backEnabled NOTIFY pageChanged)
    Q_PROPERTY(bool hasSkip READ hasSkip NOTIFY pageChanged)
    Q_PROPERTY(bool hasNotNow READ hasNotNow NOTIFY pageChanged)
    Q_PROPERTY(bool indicatorShown READ indicatorShown NOTIFY pageChanged)
    Q_PROPERTY(int indicatorCount READ indicatorCount CONSTANT)
    Q_PROPERTY(bool rehearsalRunning READ rehearsalRunning NOTIFY rehearsalRunningChanged)
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY permissionsChanged)
    Q_PROPERTY(bool screenGranted READ screenGranted NOTIFY permissionsChanged)
    Q_PROPERTY(QString restartCaption READ restartCaptionText CONSTANT)
    Q_PROPERTY(bool restartCaptionShown READ restartCaptionShown NOTIFY permissionsChanged)
    Q_PROPERTY(QString settingsFileProblem READ settingsFileProblem CONSTANT)
    Q_PROPERTY(QString intention READ intention WRITE setIntention NOTIFY intentionChanged)
    Q_PROPERTY(bool intentionIsEmpty READ intentionIsEmpty NOTIFY intentionChanged)
    Q_PROPERTY(bool reduceMotion READ reduceMotion NOTIFY reduceMotionChanged)
    Q_PROPERTY(tavrine::ui::DurationModel* duration READ duration CONSTANT)
    Q_PROPERTY(tavrine::onboarding::TypedIntentionModel* typedIntention READ typedIntention CONSTANT)
    Q_PROPERTY(tavrine::onboarding::OnboardingRehearsal* rehearsal READ rehearsal CONSTANT)
    Q_PROPERTY(tavrine::onboarding::OnboardingStage* stage READ stage CONSTANT)

public:
    static constexpr const char* pageKey = "onboardingPage";
    static constexpr const char* onboardingArgument = "--onboarding";
    static constexpr const char* fastRehearsalArgument = "--fast-rehearsal";
    static constexpr double fastPace = 0.35;
    // How long after the permissions or the rehearsal's page comes the stage is built ahead: once the page's
    // slide has ended.
    static constexpr int stagePreparationDelayMs = 320;
    static inline const QString rehearsalIntention = QStringLiteral("Design the landing page for my app");
    static inline const QString restartCaption =
        QStringLiteral("Applications that were already open show their text after a restart.");

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

    // The desktop's reduce-motion setting, for the typed intention and the headline; none: motion on.
    void setMotionPreference(platform::MotionPreference* motion);

    OnboardingPage page() const { return m_page; }
    int pageValue() const { return int(m_page); }
    int pageIndex() const { return int(pageSequence().indexOf(m_page)); }
    bool movingForward() const { return m_movingForward; }
    // A restored page appears at once; a step slides.
    bool pageAnimated() const { return m_pageAnimated; }
    QString title() const { return pageTable(m_page).title; }
    QString subtitle() const { return pageTable(m_page).subtitle; }
    QString primaryTitle() const;
    QString primaryObjectName() const { return pageTable(m_page).primaryObjectName; }
    // While the script runs, nothing may start a second rehearsal or leave the page under it.
    bool primaryEnabled() const { return !rehearsalRunning(); }
    bool backEnabled() const { return pageTable(m_page).backEnabled; }
    bool hasSkip() const { return pageTable(m_page).hasSkip; }
    bool hasNotNow() const { return pageTable(m_page).hasNotNow; }
    bool indicatorShown() const { return pageTable(m_page).hasIndicator; }
    int indicatorCount() const { return int(indicatorPages().size()); }
    bool rehearsalRunning() const { return m_rehearsal->isRunning(); }
    bool accessibilityGranted() const { return m_accessibility; }
    bool screenGranted() const { return m_screen; }
    QString restartCaptionText() const { return restartCaption; }
    bool restartCaptionShown() const { return m_accessibilityRequested && m_accessibility; }
    // Why the settings file was left alone this run, empty when it is in use. A refused file makes every launch
    // a first one, so the first-run window is where the user can learn why nothing is remembered.
    QString settingsFileProblem() const;
    QString intention() const;
    void setIntention(const QString& intention);
    // Nothing but whitespace: the ready page starts focus mode.
    bool intentionIsEmpty() const;
    bool reduceMotion() const;
    ui::DurationModel* duration() const { return m_duration; }
    TypedIntentionModel* typedIntention() const { return m_typed; }
    OnboardingRehearsal* rehearsal() const { return m_rehearsal.get(); }
    OnboardingStage* stage() const { return m_stage.get(); }

    // The nine colours of a page's backdrop (by stored value; welcome's for an unknown one).
    Q_INVOKABLE QVariantList backdropPalette(int page) const;

    Q_INVOKABLE void advance();
    Q_INVOKABLE void goBack();
    // The footer's primary button: the rehearsal on its page, the first session on ready, else forward.
    Q_INVOKABLE void primaryAction();
    Q_INVOKABLE void refreshAccess();
    // "Enable" on the accessibility row: the desktop's accessibility switched on, then read back at once.
    Q_INVOKABLE void requestAccessibility();
    Q_INVOKABLE void requestScreenRecording();
    // "Start focus session" on the rehearsal page. Refused (a session or a rehearsal is on), the flow moves on.
    Q_INVOKABLE void startRehearsal();
    // The stage's skip: the script stops and the rehearsal ends as if it had run out.
    Q_INVOKABLE void skipRehearsal();
    Q_INVOKABLE void notNow();
    Q_INVOKABLE void finish(bool startSession);
    // The end of the flow: completion recorded, the onboarding window hidden, the main window opened.
    Q_INVOKABLE void completeOnboarding();

    // The window came on screen: the grants are read again and the page saved last comes back. A window that
    // the stage hid for a rehearsal and gives back is no new appearance.
    Q_INVOKABLE void windowShown();
    // The user closed the window (not the stage hiding it): a running rehearsal ends, and the window stays shut.
    Q_INVOKABLE void windowClosing();
    void applicationStateChanged(Qt::ApplicationState state);

signals:
    void pageChanged();
    void primaryTitleChanged();
    void rehearsalRunningChanged();
    void permissionsChanged();
    void intentionChanged();
    void reduceMotionChanged();
    void rehearsalRefused();
    // The ready page's field should take the keyboard focus.
    void focusIntention();

private:
    void setPage(OnboardingPage page, bool forward, bool animated);
    // The rehearsal's stage is built ahead while the pages before it show, and dropped when they are left
    // another way.
    void prepareStage();
    bool stageDue() const;
    void restorePage();
    // Reads both grants; answers whether either changed.
    bool readAccess();
    void endRehearsal();
    void windowDisappeared();
    void storePage(int value);

    FocusSession& m_session;
    std::unique_ptr<OnboardingRehearsal> m_rehearsal;
    std::unique_ptr<OnboardingStage> m_stage;
    UserDefaults& m_defaults;
    platform::Permissions* m_permissions;
    QStringList m_arguments;
    Hooks m_hooks;
    QPointer<platform::MotionPreference> m_motion;
    ui::DurationModel* m_duration = nullptr;
    TypedIntentionModel* m_typed = nullptr;
    OnboardingPage m_page = OnboardingPage::Welcome;
    bool m_movingForward = true;
    bool m_pageAnimated = false;
    bool m_accessibility = false;
    bool m_screen = false;
    bool m_accessibilityRequested = false;
    bool m_onScreen = false;
    // Set while the window is shut or the application quits: the stage must not bring the window back.
    bool m_gone = false;
};

} // namespace tavrine::onboarding

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <functional>

namespace tavrine {
class FocusSession;
class SessionHistory;
} // namespace tavrine
namespace tavrine::platform {
class LoginItem;
}

namespace tavrine::shell {

class UpdaterController;

// What the settings window shows and does: the permissions with their requests, launch at login as the desktop
// has it, clearing the history (and why it failed), the manual update check, the feedback mail and quitting.
// Main thread only; made once by the application and handed to the window.
class SettingsModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the application")
    Q_PROPERTY(bool launchesAtLogin READ launchesAtLogin NOTIFY launchesAtLoginChanged)
    Q_PROPERTY(bool accessibilityRequested READ accessibilityRequested NOTIFY accessibilityRequestedChanged)
    Q_PROPERTY(QString clearHistoryError READ clearHistoryError NOTIFY clearHistoryErrorChanged)
    Q_PROPERTY(QString updateCaption READ updateCaption NOTIFY updateCaptionChanged)
    Q_PROPERTY(QString updatePolicyCaption READ updatePolicyCaption CONSTANT)
    Q_PROPERTY(QUrl feedbackUrl READ feedbackUrl CONSTANT)
    Q_PROPERTY(QString feedbackAddress READ feedbackAddress CONSTANT)
    Q_PROPERTY(bool showsFeedbackAddress READ showsFeedbackAddress NOTIFY showsFeedbackAddressChanged)
    Q_PROPERTY(QString versionText READ versionText CONSTANT)
    // The "openMainWindow" shortcut name for the recorder (a shortcutName value).
    Q_PROPERTY(QVariant openMainWindowShortcut READ openMainWindowShortcut CONSTANT)
    // Why the stored preferences are not in use; empty when they are.
    Q_PROPERTY(QString settingsFileProblem READ settingsFileProblem CONSTANT)

public:
    static inline const QString windowTitle = QStringLiteral("Settings");
    static inline const QString restartCaption =
        QStringLiteral("Applications that were already open show their text after a restart.");
    static inline const QString noUpdateSourceCaption = QStringLiteral("No update source is set up in this build.");

    struct Parts {
        FocusSession* session = nullptr;
        SessionHistory* history = nullptr;
        UpdaterController* updater = nullptr;
        platform::LoginItem* loginItem = nullptr;
        // The application's own way out (it stops a running session first).
        std::function<void()> quit;
        // Where "Send feedback" writes to.
        QString feedbackAddress;
        QString settingsFileProblem;
    };

    // Reads the login item now, and the permissions and the login item again whenever the application becomes
    // active.
    explicit SettingsModel(Parts parts, QObject* parent = nullptr);

    bool launchesAtLogin() const { return m_launchesAtLogin; }
    bool accessibilityRequested() const { return m_accessibilityRequested; }
    QString clearHistoryError() const { return m_clearHistoryError; }
    QString updateCaption() const;
    QString updatePolicyCaption() const;
    QUrl feedbackUrl() const;
    QString feedbackAddress() const { return m_parts.feedbackAddress; }
    bool showsFeedbackAddress() const { return m_showsFeedbackAddress; }
    QString versionText() const;
    static QVariant openMainWindowShortcut();
    QString settingsFileProblem() const { return m_parts.settingsFileProblem; }

    // The permissions, then the login item; only an enabled entry shows the switch on.
    Q_INVOKABLE void refreshStatus();
    // Registers or removes the login item, then shows what the desktop now has, whatever was asked.
    Q_INVOKABLE void setLaunchAtLogin(bool enabled);
    // Switches the desktop's accessibility on; applications already running need a restart to be read.
    Q_INVOKABLE void requestAccessibility();
    Q_INVOKABLE void requestScreenRecording();
    // The confirmed "Clear history"; false (with clearHistoryError set) when every session is still there.
    Q_INVOKABLE bool clearHistory();
    Q_INVOKABLE void checkForUpdates();
    // Opens the feedback mail; when nothing opens mail links, the address is shown instead.
    Q_INVOKABLE void sendFeedback();
    Q_INVOKABLE void quit();

    // "checkmark.circle" for a granted permission, "circle" for a missing one.
    Q_INVOKABLE static QString permissionSymbol(bool granted);

    // "Tavrine <version> feedback (<system> <version>)"; the kernel stands in for a system that names nothing.
    static QString feedbackSubject(const QString& shortVersion, const QString& productType,
                                   const QString& productVersion, const QString& kernelVersion);
    // mailto:<address>?subject=<subject>, every space written %20.
    static QUrl feedbackUrl(const QString& address, const QString& subject);
    // How the updater's last check reads under the button; empty when it has nothing to say.
    static QString updateCaptionFor(const QString& outcome, bool checking);
    // What the application does about updates, which this build decides: a build without an update source
    // must not promise automatic installs.
    static QString updatePolicyCaptionFor(bool hasUpdateSource);

signals:
    void launchesAtLoginChanged();
    void accessibilityRequestedChanged();
    void clearHistoryErrorChanged();
    void updateCaptionChanged();
    void showsFeedbackAddressChanged();

private:
    void readLoginItem();
    void setClearHistoryError(const QString& error);

    Parts m_parts;
    bool m_launchesAtLogin = false;
    bool m_accessibilityRequested = false;
    bool m_checkAsked = false;
    bool m_showsFeedbackAddress = false;
    QString m_clearHistoryError;
};

} // namespace tavrine::shell

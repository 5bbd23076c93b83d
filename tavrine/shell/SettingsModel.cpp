#include "tavrine/shell/SettingsModel.h"

#include "globalshortcuts/GlobalShortcuts.h"
#include "globalshortcuts/qml/QmlValues.h"
#include "tavrine/core/Log.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/model/PrivacySettingsOpening.h"
#include "tavrine/platform/LoginItem.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/onboarding/ScreenRecordingRequest.h"
#include "tavrine/shell/UpdaterController.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QSysInfo>

namespace tavrine::shell {

SettingsModel::SettingsModel(Parts parts, QObject* parent) : QObject(parent), m_parts(std::move(parts)) {
    if (m_parts.updater) {
        connect(m_parts.updater, &UpdaterController::lastCheckOutcomeChanged, this,
                &SettingsModel::updateCaptionChanged);
        connect(m_parts.updater, &UpdaterController::checkingChanged, this, &SettingsModel::updateCaptionChanged);
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                refreshStatus();
        });
    }
    readLoginItem();
}

QVariant SettingsModel::openMainWindowShortcut() {
    return QVariant::fromValue(globalshortcuts::ShortcutNameValue(globalshortcuts::openMainWindow()));
}

void SettingsModel::refreshStatus() {
    if (m_parts.session)
        m_parts.session->refreshPermissions();
    readLoginItem();
}

void SettingsModel::readLoginItem() {
    const bool enabled =
        m_parts.loginItem && m_parts.loginItem->status() == platform::LoginItem::Status::Enabled;
    if (enabled == m_launchesAtLogin)
        return;
    m_launchesAtLogin = enabled;
    emit launchesAtLoginChanged();
}

void SettingsModel::setLaunchAtLogin(bool enabled) {
    if (m_parts.loginItem)
        platform::setLaunchAtLogin(*m_parts.loginItem, enabled);
    readLoginItem();
    // The switch flipped itself on the screen; when the desktop kept the old state it must flip back.
    emit launchesAtLoginChanged();
}

void SettingsModel::requestAccessibility() {
    FocusSession::openPrivacySettings(PrivacySettingsOpening::accessibilityAnchor);
    if (!m_accessibilityRequested) {
        m_accessibilityRequested = true;
        emit accessibilityRequestedChanged();
    }
    refreshStatus();
}

void SettingsModel::requestScreenRecording() {
    onboarding::requestScreenRecording();
    refreshStatus();
}

bool SettingsModel::clearHistory() {
    if (!m_parts.history) {
        setClearHistoryError(QStringLiteral("Could not clear history. There is no history here."));
        return false;
    }
    const SessionHistory::DeleteAllResult result = m_parts.history->deleteAll();
    setClearHistoryError(result.deleted ? QString()
                                        : QStringLiteral("Could not clear history. %1").arg(result.failure));
    return result.deleted;
}

void SettingsModel::setClearHistoryError(const QString& error) {
    if (error == m_clearHistoryError)
        return;
    m_clearHistoryError = error;
    emit clearHistoryErrorChanged();
}

void SettingsModel::checkForUpdates() {
    if (!m_parts.updater)
        return;
    m_checkAsked = true;
    m_parts.updater->checkForUpdates();
    emit updateCaptionChanged();
}

QString SettingsModel::updateCaption() const {
    if (!m_checkAsked || !m_parts.updater)
        return {};
    return updateCaptionFor(m_parts.updater->lastCheckOutcome(), m_parts.updater->checking());
}

QString SettingsModel::updatePolicyCaption() const {
    return updatePolicyCaptionFor(m_parts.updater && m_parts.updater->hasSource());
}

QString SettingsModel::updatePolicyCaptionFor(bool hasUpdateSource) {
    if (hasUpdateSource)
        return QStringLiteral("Updates are checked every hour and installed automatically when possible, never "
                              "during a focus session.");
    return QStringLiteral("This build does not update itself: new versions come from where you installed "
                          "Tavrine, such as your package manager.");
}

QString SettingsModel::updateCaptionFor(const QString& outcome, bool checking) {
    if (checking)
        return QStringLiteral("Checking for updates…");
    if (outcome == UpdaterController::noUpdateSource)
        return noUpdateSourceCaption;
    if (outcome == UpdaterController::upToDate)
        return QStringLiteral("Tavrine is up to date.");
    const QString ready = QStringLiteral("update ");
    const QString failed = QStringLiteral("check failed: ");
    if (outcome.startsWith(ready) && outcome.endsWith(QStringLiteral(" is ready")))
        return QStringLiteral("Version %1 is ready and installs when Tavrine restarts.")
            .arg(outcome.mid(ready.size(), outcome.size() - ready.size() - 9));
    if (outcome.startsWith(failed))
        return QStringLiteral("The update check failed: %1").arg(outcome.mid(failed.size()));
    return {};
}

QString SettingsModel::feedbackSubject(const QString& shortVersion, const QString& productType,
                                       const QString& productVersion, const QString& kernelVersion) {
    const QString unknown = QStringLiteral("unknown");
    const QString system = productType == unknown && productVersion == unknown
                               ? QStringLiteral("Linux ") + kernelVersion
                               : productType + QLatin1Char(' ') + productVersion;
    return QStringLiteral("Tavrine ") + shortVersion + QStringLiteral(" feedback (") + system + QLatin1Char(')');
}

QUrl SettingsModel::feedbackUrl(const QString& address, const QString& subject) {
    // Encoded by hand: mail programs read "+" literally, so every space must be %20.
    const QByteArray encoded = QUrl::toPercentEncoding(subject, "()");
    QUrl url(QStringLiteral("mailto:") + address + QStringLiteral("?subject=") + QString::fromLatin1(encoded),
             QUrl::StrictMode);
    if (!url.isValid())
        return QUrl(QStringLiteral("mailto:") + address);
    return url;
}

QUrl SettingsModel::feedbackUrl() const {
    return feedbackUrl(m_parts.feedbackAddress,
                       feedbackSubject(QCoreApplication::applicationVersion(), QSysInfo::productType(),
                                       QSysInfo::productVersion(), QSysInfo::kernelVersion()));
}

void SettingsModel::sendFeedback() {
    if (QDesktopServices::openUrl(feedbackUrl()))
        return;
    log::error(logSession(), QStringLiteral("Nothing opens mail links: the feedback address is shown instead"));
    if (!m_showsFeedbackAddress) {
        m_showsFeedbackAddress = true;
        emit showsFeedbackAddressChanged();
    }
}

void SettingsModel::quit() {
    if (m_parts.quit)
        m_parts.quit();
}

QString SettingsModel::versionText() const {
    return QStringLiteral("Version ") + QCoreApplication::applicationVersion();
}

QString SettingsModel::permissionSymbol(bool granted) {
    return granted ? QStringLiteral("checkmark.circle") : QStringLiteral("circle");
}

} // namespace tavrine::shell

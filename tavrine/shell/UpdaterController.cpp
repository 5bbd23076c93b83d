#include "tavrine/shell/UpdaterController.h"

#include "tavrine/core/Error.h"
#include "tavrine/core/Log.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QProcess>

namespace tavrine::shell {

Q_LOGGING_CATEGORY(logUpdater, "com.dravolence.tavrine.Updater")

UpdaterController::UpdaterController(UpdaterDelegate* delegate, std::unique_ptr<UpdateSource> source, Quit quit,
                                     Launch launch, QObject* parent)
    : QObject(parent), m_delegate(delegate), m_source(std::move(source)), m_quit(std::move(quit)),
      m_launch(launch ? std::move(launch) : Launch(&UpdaterController::launchDetached)) {
    m_schedule.setInterval(checkIntervalSeconds * 1000);
    connect(&m_schedule, &QTimer::timeout, this, [this] { offerCheck(Background); });
}

UpdaterController::~UpdaterController() {
    *m_alive = false;
}

void UpdaterController::startUpdater() {
    m_schedule.start();
}

void UpdaterController::checkForUpdates() {
    offerCheck(UserInitiated);
}

void UpdaterController::checkForUpdatesInBackground() {
    offerCheck(Background);
}

void UpdaterController::offerCheck(int kind) {
    if (m_checking)
        return;
    UpdaterError error;
    if (m_delegate && !m_delegate->mayPerformUpdateCheck(*this, kind, &error)) {
        log::info(logUpdater(), QStringLiteral("Update check refused: %1").arg(error.description));
        return;
    }
    // Fire and forget: the task catches everything itself.
    runCheck();
}

QCoro::Task<void> UpdaterController::runCheck() {
    ++m_checksRun;
    if (!m_source) {
        setOutcome(noUpdateSource);
        log::notice(logUpdater(), QStringLiteral("Update check ended: no update source"));
        co_return;
    }
    setChecking(true);
    std::weak_ptr<bool> alive = m_alive;
    std::optional<UpdateItem> item;
    QString failure;
    try {
        item = co_await m_source->findUpdate(QCoreApplication::applicationVersion());
    } catch (const Error& error) {
        failure = error.description();
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    if (auto living = alive.lock(); !living || !*living)
        co_return;
    setChecking(false);
    if (!failure.isEmpty()) {
        setOutcome(QStringLiteral("check failed: %1").arg(failure));
        log::error(logUpdater(), QStringLiteral("Update check failed: %1").arg(failure));
        co_return;
    }
    if (!item) {
        setOutcome(upToDate);
        log::notice(logUpdater(), QStringLiteral("Update check ended: up to date"));
        co_return;
    }
    setOutcome(QStringLiteral("update %1 is ready").arg(item->version));
    log::notice(logUpdater(), QStringLiteral("Update %1 is ready").arg(item->version));
    const UpdateItem found = *item;
    auto relaunchNow = [this, found, alive] {
        if (auto living = alive.lock(); living && *living)
            relaunch(found);
    };
    if (m_delegate && m_delegate->shouldPostponeRelaunch(*this, found, relaunchNow)) {
        log::notice(logUpdater(), QStringLiteral("Relaunch for update %1 postponed").arg(found.version));
        co_return;
    }
    relaunch(found);
}

void UpdaterController::relaunch(const UpdateItem& item) {
    if (!m_launch(item)) {
        setOutcome(QStringLiteral("check failed: %1 could not be started").arg(item.program));
        log::error(logUpdater(), QStringLiteral("Relaunch failed: %1 could not be started").arg(item.program));
        return;
    }
    log::notice(logUpdater(), QStringLiteral("Relaunching for update %1").arg(item.version));
    if (m_quit)
        m_quit();
}

bool UpdaterController::launchDetached(const UpdateItem& item) {
    return QProcess::startDetached(item.program, item.arguments);
}

void UpdaterController::setOutcome(const QString& outcome) {
    if (m_lastCheckOutcome == outcome) {
        return;
    }
    m_lastCheckOutcome = outcome;
    emit lastCheckOutcomeChanged();
}

void UpdaterController::setChecking(bool checking) {
    if (m_checking == checking)
        return;
    m_checking = checking;
    emit checkingChanged();
}

} // namespace tavrine::shell

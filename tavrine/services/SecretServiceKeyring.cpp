#include "tavrine/services/SecretServiceKeyring.h"

#include "tavrine/core/Log.h"
#include "tavrine/core/Wakeup.h"

#include <QCoreApplication>
#include <QList>
#include <qt6keychain/keychain.h>

namespace tavrine {

namespace {
struct ReadResult {
    QKeychain::Error error = QKeychain::OtherError;
    QString errorText = QStringLiteral("the keyring was closed");
    QString token;
};
} // namespace

// Reads not yet answered, so that closing the keyring can wake them.
struct SecretServiceKeyring::Pending {
    QList<Wakeup> waiting;
};

SecretServiceKeyring::SecretServiceKeyring() : m_worker(new QObject), m_pending(std::make_shared<Pending>()) {
    m_thread.setObjectName(QStringLiteral("tavrine-keyring"));
    m_worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

SecretServiceKeyring::~SecretServiceKeyring() {
    m_thread.quit();
    m_thread.wait();
    // A read still waiting ends without a token; it resumes later, on the main thread, and touches nothing here.
    for (const Wakeup& wakeup : std::as_const(m_pending->waiting))
        wakeup.fire(true);
    m_pending->waiting.clear();
}

QCoro::Task<std::optional<QString>> SecretServiceKeyring::readToken() {
    auto result = std::make_shared<ReadResult>();
    Wakeup done;
    m_pending->waiting.append(done);
    std::weak_ptr<Pending> pending = m_pending;
    QMetaObject::invokeMethod(
        m_worker,
        [result, done] {
            auto* job = new QKeychain::ReadPasswordJob(QString::fromLatin1(service));
            job->setAutoDelete(true);
            job->setInsecureFallback(false);
            job->setKey(QString::fromLatin1(key));
            QObject::connect(job, &QKeychain::Job::finished, job, [result, done](QKeychain::Job* finished) {
                auto* read = static_cast<QKeychain::ReadPasswordJob*>(finished);
                result->error = read->error();
                result->errorText = read->errorString();
                result->token = read->textData();
                // The answer goes back to the main thread, which alone wakes the waiting read.
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [done] { done.fire(); }, Qt::QueuedConnection);
            });
            job->start();
        },
        Qt::QueuedConnection);

    const bool answered = co_await done;
    if (auto alive = pending.lock())
        alive->waiting.removeIf([&](const Wakeup& wakeup) { return wakeup.isFired(); });
    if (!answered)
        co_return std::nullopt;
    if (result->error == QKeychain::EntryNotFound) {
        log::notice(logModelCallCategory(), QStringLiteral("No API token in the Secret Service (service %1, key %2)")
                                                .arg(QString::fromLatin1(service), QString::fromLatin1(key)));
        co_return std::nullopt;
    }
    if (result->error != QKeychain::NoError) {
        log::error(logModelCallCategory(),
                   QStringLiteral("Reading the API token from the Secret Service failed (QKeychain error %1): %2")
                       .arg(static_cast<int>(result->error))
                       .arg(result->errorText));
        co_return std::nullopt;
    }
    co_return result->token;
}

} // namespace tavrine

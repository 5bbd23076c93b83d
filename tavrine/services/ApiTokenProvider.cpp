#include "tavrine/services/ApiTokenProvider.h"

#include "tavrine/core/Log.h"
#include "tavrine/services/SecretServiceKeyring.h"

namespace tavrine {

std::unique_ptr<ApiTokenProvider> ApiTokenProvider::fromEnvironment(std::shared_ptr<KeyringReading> keyring) {
    if (qEnvironmentVariableIsSet(tokenVariable))
        return std::make_unique<ApiTokenProvider>(qEnvironmentVariable(tokenVariable), nullptr);
    if (!keyring)
        keyring = std::make_shared<SecretServiceKeyring>();
    return std::make_unique<ApiTokenProvider>(std::nullopt, std::move(keyring));
}

ApiTokenProvider::ApiTokenProvider(std::optional<QString> environmentToken, std::shared_ptr<KeyringReading> keyring)
    : m_fixedToken(std::move(environmentToken)), m_keyring(m_fixedToken ? nullptr : std::move(keyring)),
      m_token(m_fixedToken) {}

ApiTokenProvider::~ApiTokenProvider() {
    *m_alive = false;
}

void ApiTokenProvider::start() {
    if (m_fixedToken || !m_keyring)
        return;
    readInBackground(QPointer<ApiTokenProvider>(this));
}

QCoro::Task<void> ApiTokenProvider::readInBackground(QPointer<ApiTokenProvider> provider) {
    // Nobody awaits this task: it must not let anything escape.
    try {
        if (provider)
            co_await provider->read();
    } catch (...) {
        log::error(logModelCallCategory(), QStringLiteral("Reading the API token failed"));
    }
}

QCoro::Task<void> ApiTokenProvider::refreshBearerToken() {
    if (m_fixedToken || !m_keyring)
        co_return;
    co_await read();
}

QCoro::Task<void> ApiTokenProvider::read() {
    const std::shared_ptr<bool> alive = m_alive;
    const std::shared_ptr<KeyringReading> keyring = m_keyring;
    const quint64 number = ++m_readsStarted;
    const std::optional<QString> token = co_await keyring->readToken();
    if (!*alive || number < m_readApplied)
        co_return;
    m_readApplied = number;
    m_token = token;
    if (!token || token->trimmed().isEmpty())
        log::error(logModelCallCategory(), missingTokenLine());
    emit tokenRead();
}

QString ApiTokenProvider::missingTokenLine() {
    // The keyring's own line says why the read failed; this one says what to do, in commands to copy.
    return QStringLiteral("No API token: set %1, or store the token in the Secret Service with: secret-tool store "
                          "--label=\"Tavrine API token\" service %2 key %3")
        .arg(QString::fromLatin1(tokenVariable), QString::fromLatin1(SecretServiceKeyring::service),
             QString::fromLatin1(SecretServiceKeyring::key));
}

TavrineAPIClient::BearerToken ApiTokenProvider::bearerTokenClosure() {
    return [provider = QPointer<ApiTokenProvider>(this)]() -> std::optional<QString> {
        return provider ? provider->bearerToken() : std::nullopt;
    };
}

namespace {
QCoro::Task<void> refreshThrough(QPointer<ApiTokenProvider> provider) {
    if (provider)
        co_await provider->refreshBearerToken();
}
} // namespace

TavrineAPIClient::RefreshBearerToken ApiTokenProvider::refreshBearerTokenClosure() {
    return [provider = QPointer<ApiTokenProvider>(this)] { return refreshThrough(provider); };
}

} // namespace tavrine

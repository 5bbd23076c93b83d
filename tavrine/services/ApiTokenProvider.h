#pragma once

#include "tavrine/services/KeyringReading.h"
#include "tavrine/services/TavrineAPIClient.h"

#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>

namespace tavrine {

// The bearer token of the maker's API. TAVRINE_API_TOKEN, when set, is the token and no keyring is touched;
// otherwise the token comes from the keyring, read once at start-up and kept, and read again when the API
// refuses it. Lives on the main thread; hands the API client its two token closures.
class ApiTokenProvider : public QObject {
    Q_OBJECT
public:
    static constexpr const char* tokenVariable = "TAVRINE_API_TOKEN";

    // From the environment; without the variable, from `keyring` (the desktop's Secret Service when absent).
    static std::unique_ptr<ApiTokenProvider> fromEnvironment(std::shared_ptr<KeyringReading> keyring = nullptr);

    // A fixed token (`environmentToken` present) or the keyring's.
    ApiTokenProvider(std::optional<QString> environmentToken, std::shared_ptr<KeyringReading> keyring);
    ~ApiTokenProvider() override;

    // Starts the start-up read of the keyring (nothing with a fixed token). Returns at once; until the read
    // answers there is no token.
    void start();

    // The token as last read, or none.
    std::optional<QString> bearerToken() const { return m_token; }
    // Reads the keyring again and keeps what it holds (a fixed token stays as it is).
    QCoro::Task<void> refreshBearerToken();

    // The closures for TavrineAPIClient and the speech pipeline. They hold the provider weakly: once it is gone
    // there is no token and a refresh does nothing.
    TavrineAPIClient::BearerToken bearerTokenClosure();
    TavrineAPIClient::RefreshBearerToken refreshBearerTokenClosure();

    // The line logged when a keyring read leaves no token: how to give one.
    static QString missingTokenLine();

signals:
    void tokenRead();

private:
    // One keyring read; its answer is kept unless a newer read answered first.
    QCoro::Task<void> read();
    static QCoro::Task<void> readInBackground(QPointer<ApiTokenProvider> provider);

    std::optional<QString> m_fixedToken;
    std::shared_ptr<KeyringReading> m_keyring;
    std::optional<QString> m_token;
    // Reads may answer out of order; only an answer newer than the last one kept replaces it.
    quint64 m_readsStarted = 0;
    quint64 m_readApplied = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tavrine

#pragma once

#include "tavrine/services/KeyringReading.h"

#include <QThread>
#include <memory>

namespace tavrine {

// The API token in the desktop's Secret Service: service "com.dravolence.tavrine", key "api-token" (as stored by
// `secret-tool store --label="Tavrine API token" service com.dravolence.tavrine key api-token`). Reads run on a
// keyring thread of their own, so a slow or locked keyring never holds up the main thread.
class SecretServiceKeyring : public KeyringReading {
public:
    static constexpr const char* service = "com.dravolence.tavrine";
    static constexpr const char* key = "api-token";

    SecretServiceKeyring();
    ~SecretServiceKeyring() override;

    QCoro::Task<std::optional<QString>> readToken() override;

private:
    struct Pending;
    QThread m_thread;
    QObject* m_worker;
    std::shared_ptr<Pending> m_pending;
};

} // namespace tavrine

#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <optional>

namespace tavrine {

// Where the API token is kept when the environment does not give one. The real one is the desktop's Secret
// Service; tests hand in their own, so no test ever touches a real keyring.
class KeyringReading {
public:
    virtual ~KeyringReading() = default;
    // The stored token, or none when nothing is stored or the keyring cannot be read (the reason is logged by
    // the implementation). Never throws. Resumes on the main thread.
    virtual QCoro::Task<std::optional<QString>> readToken() = 0;
};

} // namespace tavrine

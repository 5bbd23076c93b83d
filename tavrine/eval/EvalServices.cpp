#include "tavrine/eval/EvalServices.h"

#include "tavrine/services/TavrineAPI.h"

namespace tavrine::eval {

namespace {
constexpr double callTimeout = 60.0;
}

EvalServices::EvalServices() : m_tokens(ApiTokenProvider::fromEnvironment()) {
    // Read now, so that a missing or refused address is logged at the start of the run, not at the first case.
    TavrineAPI::baseURL();
    TavrineAPIClient::SessionConfiguration session;
    session.resourceTimeout = callTimeout;
    m_api =
        TavrineAPIClient::create(m_tokens->bearerTokenClosure(), m_tokens->refreshBearerTokenClosure(), {}, session);
}

QCoro::Task<void> EvalServices::start() {
    // A fixed token answers at once; the keyring's is read here and kept for the run.
    co_await m_tokens->refreshBearerToken();
}

} // namespace tavrine::eval

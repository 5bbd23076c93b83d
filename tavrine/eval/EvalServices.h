#pragma once

#include "tavrine/services/ApiTokenProvider.h"
#include "tavrine/services/TavrineAPIClient.h"

#include <QCoro/QCoroTask>
#include <memory>

namespace tavrine::eval {

// The maker's API as one run uses it: the process-wide base address, the token the application holds
// (TAVRINE_API_TOKEN, else the keyring's), one client with 60-second time-outs. Built once per run, on the main
// thread.
class EvalServices {
public:
    EvalServices();

    // Reads the token once before the first call, so the first case does not go out without it.
    QCoro::Task<void> start();

    const std::shared_ptr<TavrineAPIClient>& api() const { return m_api; }

private:
    std::unique_ptr<ApiTokenProvider> m_tokens;
    std::shared_ptr<TavrineAPIClient> m_api;
};

} // namespace tavrine::eval

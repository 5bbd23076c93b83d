#pragma once

#include "tavrine/services/JobExpanding.h"
#include "tavrine/services/TavrineAPIClient.h"

#include <QJsonObject>
#include <functional>
#include <memory>

namespace tavrine {

// Asks "job" for the actions of an intention; any failure or unusable answer gives the brief without actions.
class LocalJobExpander : public JobExpanding {
public:
    // Called instead of the network with the collapsed intention, when given; its answer is read like the API's.
    using Send = std::function<QCoro::Task<QJsonObject>(QString)>;

    explicit LocalJobExpander(std::shared_ptr<TavrineAPIClient> api, Send send = {})
        : m_api(std::move(api)), m_send(std::move(send)) {}

    QCoro::Task<JobBrief> expand(QString intention, CancellationToken cancellation = {}) override;

    // The brief an answer object gives for a collapsed intention.
    static JobBrief readAnswer(const QString& intention, const QJsonObject& answer);

private:
    std::shared_ptr<TavrineAPIClient> m_api;
    Send m_send;
};

} // namespace tavrine

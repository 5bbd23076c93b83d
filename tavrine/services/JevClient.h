#pragma once

#include "tavrine/services/JevJudging.h"
#include "tavrine/services/TavrineAPIClient.h"

#include <QJsonObject>
#include <memory>

namespace tavrine {

// The judge: posts the intention, six texts of the observation and the job actions to "judge", and reads the
// verdict. Holds nothing but its API client; concurrent judgments are independent.
class JevClient : public JevJudging {
public:
    explicit JevClient(std::shared_ptr<TavrineAPIClient> api) : m_api(std::move(api)) {}

    QCoro::Task<JevVerdict> judge(QString intention, std::optional<QString> actions,
                                  ActivityEvidence evidence) override;

    const std::shared_ptr<TavrineAPIClient>& api() const { return m_api; }

    // The request body for one judgment.
    static QJsonObject requestBody(const QString& intention, const std::optional<QString>& actions,
                                   const ActivityEvidence& evidence);
    // Reads an answer object; throws JevClientError::invalidResponse at the first member that does not fit.
    static JevVerdict parseAnswer(const QJsonObject& answer);

private:
    std::shared_ptr<TavrineAPIClient> m_api;
};

} // namespace tavrine

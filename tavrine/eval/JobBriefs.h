#pragma once

#include "tavrine/services/JevVerdict.h"
#include "tavrine/services/JobBrief.h"
#include "tavrine/services/LocalJobExpander.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <memory>
#include <optional>

namespace tavrine::eval {

// The job brief of each case's intention for one run. With expansion on, each distinct intention text (exactly
// as written) is expanded once and its brief kept, actions or not; with it off, every case gets the brief without
// actions and nothing is sent.
class JobBriefs {
public:
    JobBriefs(std::shared_ptr<TavrineAPIClient> api, bool expand);

    QCoro::Task<JobBrief> briefFor(QString intention);

private:
    std::optional<LocalJobExpander> m_expander;
    QHash<QString, JobBrief> m_cache;
};

// "model" when the brief has actions, else "raw".
QString jobOrigin(const JobBrief& brief);

// What the judge answered, for the report: the line "job[model <version>]: <actions>" when the brief has
// actions, then the verdict's summary.
QString judgeText(const JobBrief& brief, const JevVerdict& verdict);

} // namespace tavrine::eval

#include "tavrine/eval/JobBriefs.h"

namespace tavrine::eval {

JobBriefs::JobBriefs(std::shared_ptr<TavrineAPIClient> api, bool expand) {
    if (expand)
        m_expander.emplace(std::move(api));
}

QCoro::Task<JobBrief> JobBriefs::briefFor(QString intention) {
    if (const auto cached = m_cache.constFind(intention); cached != m_cache.constEnd())
        co_return *cached;
    if (!m_expander)
        co_return JobBrief::fallback(intention);
    // The expander never fails; a brief without actions is kept too, so a refused intention is not asked again.
    JobBrief brief = co_await m_expander->expand(intention);
    m_cache.insert(intention, brief);
    co_return brief;
}

QString jobOrigin(const JobBrief& brief) {
    return brief.actions ? QStringLiteral("model") : QStringLiteral("raw");
}

QString judgeText(const JobBrief& brief, const JevVerdict& verdict) {
    if (!brief.actions)
        return verdict.summary();
    return QStringLiteral("job[model ") + brief.version + QStringLiteral("]: ") + *brief.actions + QLatin1Char('\n') +
           verdict.summary();
}

} // namespace tavrine::eval

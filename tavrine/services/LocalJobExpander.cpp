#include "tavrine/services/LocalJobExpander.h"

#include "tavrine/core/Text.h"

namespace tavrine {

namespace {
constexpr double jobTimeout = 30.0;
}

JobBrief LocalJobExpander::readAnswer(const QString& intention, const QJsonObject& answer) {
    const QJsonValue status = answer.value(QStringLiteral("status"));
    if (!status.isString() || status.toString() != QLatin1String("ok"))
        return JobBrief::fallback(intention);
    const QJsonValue actions = answer.value(QStringLiteral("actions"));
    if (!actions.isString() || actions.toString().isEmpty())
        return JobBrief::fallback(intention);
    const QJsonValue version = answer.value(QStringLiteral("version"));
    // Actions of nothing but whitespace collapse to nothing: that is no expansion either.
    const QString collapsed = text::collapseWhitespace(actions.toString());
    if (collapsed.isEmpty())
        return JobBrief::fallback(intention);
    return JobBrief{intention, collapsed,
                    version.isString() ? version.toString() : QString::fromLatin1(JobBrief::defaultVersion)};
}

QCoro::Task<JobBrief> LocalJobExpander::expand(QString intention, CancellationToken cancellation) {
    const QString collapsed = text::collapseWhitespace(intention);
    if (collapsed.isEmpty())
        co_return JobBrief::fallback(collapsed);
    // Copies: the expander may go away while the call is in flight.
    const std::shared_ptr<TavrineAPIClient> api = m_api;
    const Send send = m_send;
    // Texts built outside the awaits: GCC mishandles string literals inside a co_await expression.
    const QString path = QStringLiteral("job");
    const QJsonObject body{{QStringLiteral("intention"), collapsed}};
    QJsonObject answer;
    bool answered = false;
    try {
        if (send)
            answer = co_await send(collapsed);
        else if (api)
            answer = co_await api->post(path, body, path, jobTimeout, cancellation);
        answered = static_cast<bool>(send) || static_cast<bool>(api);
    } catch (...) {
        // Whatever went wrong, judging goes on without actions.
    }
    if (!answered)
        co_return JobBrief::fallback(collapsed);
    co_return readAnswer(collapsed, answer);
}

} // namespace tavrine

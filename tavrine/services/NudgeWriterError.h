#pragma once

#include "tavrine/model/NudgeWritingFailure.h"
#include "tavrine/services/ServiceError.h"

namespace tavrine {

// The nudge writer's failures; the recap and history-intent writers raise its invalidResponse too. Summary codes:
// "nudgeRejected", "openAIHTTP" + status, "missingToken", "openAIInvalidResponse"; the summary text has the
// platform shape (domain, code, description).
// text() is the reason (rejected) or the text (httpStatus).
class NudgeWriterError : public ServiceError<NudgeWriterError, NudgeWriterErrorKind>, public NudgeWritingFailure {
public:
    explicit NudgeWriterError(Kind kind) : ServiceError(kind) {}
    NudgeWriterErrorKind failureKind() const override { return kind(); }
    QString failureText() const override { return text(); }
    static NudgeWriterError rejected(const QString& reason) { return make(Kind::rejected, 0, reason); }

    QString caseName() const override;
    QString domain() const override { return QStringLiteral("tavrine.NudgeWriterError"); }
    QString description() const override;
    QString summaryCode() const override;
    // The platform shape, as for any error outside the judge client.
    QString summaryText() const override;
};

} // namespace tavrine

#pragma once

#include "tavrine/core/Error.h"

namespace tavrine {

// The failures of the speech pipeline. They carry no texts of the user's: logs name the case and, for a failed
// request, what was wrong with the answer.
class NudgeSpeechError : public Error {
public:
    enum class Kind { requestFailed, unauthorized, dailyLimitReached, unplayable };
    // What made a request fail, for the log line a person reads.
    enum class Cause { unspecified, keyAnswer, vendorError, notSpeech, oversize };

    explicit NudgeSpeechError(Kind kind, Cause cause = Cause::unspecified) : m_kind(kind), m_cause(cause) {}
    Kind kind() const { return m_kind; }
    Cause cause() const { return m_cause; }
    bool operator==(const NudgeSpeechError& other) const { return m_kind == other.m_kind; }

    QString caseName() const override;
    QString domain() const override { return QStringLiteral("tavrine.NudgeSpeechError"); }
    long code() const override { return static_cast<long>(m_kind); }
    QString description() const override { return caseName(); }
    // Why the speech failed, in a few plain words.
    QString reason() const override;

private:
    Kind m_kind;
    Cause m_cause;
};

} // namespace tavrine

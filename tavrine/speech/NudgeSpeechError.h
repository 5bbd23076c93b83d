#pragma once

#include "tavrine/core/Error.h"

namespace tavrine {

// The failures of the speech pipeline. They carry no texts: logs name the case.
class NudgeSpeechError : public Error {
public:
    enum class Kind { requestFailed, unauthorized, dailyLimitReached, unplayable };

    explicit NudgeSpeechError(Kind kind) : m_kind(kind) {}
    Kind kind() const { return m_kind; }
    bool operator==(const NudgeSpeechError& other) const { return m_kind == other.m_kind; }

    QString caseName() const override;
    QString domain() const override { return QStringLiteral("tavrine.NudgeSpeechError"); }
    long code() const override { return static_cast<long>(m_kind); }
    QString description() const override { return caseName(); }

private:
    Kind m_kind;
};

} // namespace tavrine

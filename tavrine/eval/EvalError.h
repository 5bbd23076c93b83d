#pragma once

#include "tavrine/core/Error.h"

namespace tavrine::eval {

// The harness's own failures: a bad command line and a screenshot that does not decode.
class EvalError : public Error {
public:
    enum class Kind { MissingValue, MissingImage, UnknownArgument };

    EvalError(Kind kind, QString text);

    static EvalError missingValue(const QString& text) { return {Kind::MissingValue, text}; }
    static EvalError missingImage(const QString& text) { return {Kind::MissingImage, text}; }
    static EvalError unknownArgument(const QString& text) { return {Kind::UnknownArgument, text}; }

    Kind kind() const { return m_kind; }
    const QString& text() const { return m_text; }

    QString caseName() const override;
    QString domain() const override;
    long code() const override;
    QString description() const override;

    friend bool operator==(const EvalError& a, const EvalError& b) {
        return a.m_kind == b.m_kind && a.m_text == b.m_text;
    }

private:
    Kind m_kind;
    QString m_text;
};

} // namespace tavrine::eval

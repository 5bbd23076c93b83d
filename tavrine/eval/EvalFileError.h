#pragma once

#include "tavrine/core/Error.h"

namespace tavrine::eval {

// A cases file that cannot be read or decoded, or a report that cannot be written. The description is the
// whole readable text ("Eval failed: " is put in front of it by the caller).
class EvalFileError : public Error {
public:
    enum class Kind { Read, Decode, Write };

    EvalFileError(Kind kind, QString description);

    // "Cannot read <path>: <reason>".
    static EvalFileError read(const QString& path, const QString& reason);
    // "The data couldn't be read because it isn't in the correct format: <detail>".
    static EvalFileError decode(const QString& detail);
    // "Cannot write <path>: <reason>".
    static EvalFileError write(const QString& path, const QString& reason);

    Kind kind() const { return m_kind; }

    QString caseName() const override;
    QString domain() const override;
    long code() const override;
    QString description() const override { return m_description; }

private:
    Kind m_kind;
    QString m_description;
};

} // namespace tavrine::eval

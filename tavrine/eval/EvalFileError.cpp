#include "tavrine/eval/EvalFileError.h"

namespace tavrine::eval {

EvalFileError::EvalFileError(Kind kind, QString description) : m_kind(kind), m_description(std::move(description)) {}

EvalFileError EvalFileError::read(const QString& path, const QString& reason) {
    return {Kind::Read, QStringLiteral("Cannot read ") + path + QStringLiteral(": ") + reason};
}

EvalFileError EvalFileError::decode(const QString& detail) {
    return {Kind::Decode,
            QStringLiteral("The data couldn't be read because it isn't in the correct format: ") + detail};
}

EvalFileError EvalFileError::write(const QString& path, const QString& reason) {
    return {Kind::Write, QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + reason};
}

QString EvalFileError::caseName() const {
    switch (m_kind) {
    case Kind::Read:
        return QStringLiteral("read");
    case Kind::Decode:
        return QStringLiteral("decode");
    case Kind::Write:
        return QStringLiteral("write");
    }
    return {};
}

QString EvalFileError::domain() const {
    return QStringLiteral("tavrine.EvalFileError");
}

long EvalFileError::code() const {
    return static_cast<long>(m_kind);
}

} // namespace tavrine::eval

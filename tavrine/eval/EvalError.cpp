#include "tavrine/eval/EvalError.h"

namespace tavrine::eval {

EvalError::EvalError(Kind kind, QString text) : m_kind(kind), m_text(std::move(text)) {}

QString EvalError::caseName() const {
    switch (m_kind) {
    case Kind::MissingValue:
        return QStringLiteral("missingValue");
    case Kind::MissingImage:
        return QStringLiteral("missingImage");
    case Kind::UnknownArgument:
        return QStringLiteral("unknownArgument");
    }
    return {};
}

QString EvalError::domain() const {
    return QStringLiteral("tavrine.EvalError");
}

long EvalError::code() const {
    return static_cast<long>(m_kind);
}

QString EvalError::description() const {
    switch (m_kind) {
    case Kind::MissingValue:
        return QStringLiteral("Missing value for ") + m_text;
    case Kind::MissingImage:
        return QStringLiteral("Missing image ") + m_text;
    case Kind::UnknownArgument:
        return QStringLiteral("Unknown argument ") + m_text;
    }
    return {};
}

} // namespace tavrine::eval

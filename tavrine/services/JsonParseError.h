#pragma once

#include "tavrine/core/Error.h"

#include <QJsonParseError>

namespace tavrine {

// A successful answer whose body is not a JSON object or array. Domain "QJsonParseError", code Qt's
// QJsonParseError::ParseError number (a body that is valid JSON but a lone scalar counts as IllegalValue).
class JsonParseError : public Error {
public:
    JsonParseError(QJsonParseError::ParseError error, int offset, QString text)
        : m_error(error), m_offset(offset), m_text(std::move(text)) {}
    explicit JsonParseError(const QJsonParseError& error)
        : JsonParseError(error.error, error.offset, error.errorString()) {}

    QJsonParseError::ParseError parseError() const { return m_error; }

    QString caseName() const override { return QStringLiteral("parseError"); }
    QString domain() const override { return QStringLiteral("QJsonParseError"); }
    long code() const override { return static_cast<long>(m_error); }
    QString description() const override;

private:
    QJsonParseError::ParseError m_error;
    int m_offset;
    QString m_text;
};

} // namespace tavrine

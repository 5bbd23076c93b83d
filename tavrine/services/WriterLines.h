#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <optional>

namespace tavrine {

// The answers of the "recap" and "history" writers.

// The answer's "prompt_version" when it is a non-empty text. Taken before anything else is looked at, so even an
// answer that is then refused updates the writer's version.
std::optional<QString> answeredPromptVersion(const QJsonObject& answer);

// The lines of an answer: "status" must be "ok" and "lines" an object, else NudgeWriterError::invalidResponse.
// Every text member of "lines" is kept, except lines that are empty after trimming: those would replace a good
// fallback phrase or intent with nothing.
QMap<QString, QString> parseWriterLines(const QJsonObject& answer);

} // namespace tavrine

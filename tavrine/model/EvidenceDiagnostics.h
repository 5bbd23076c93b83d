#pragma once

#include <QString>
#include <QStringList>
#include <exception>
#include <optional>

namespace tavrine {

// Short machine-readable code of a failure: "cancelled" for a cancellation, the error family's own code for a
// typed error ("typesafeHTTP503", "nudgeRejected", or its domain, " code=" and its number), and
// "std::exception code=0" / "unknown code=0" for failures from outside Tavrine.
QString errorKindCode(std::exception_ptr error);
QString errorKindCode(const std::exception& error);

// Readable summary of a failure, cut to 240 user-perceived characters with "…" appended (at most 241);
// "cancelled" for a cancellation.
QString describeErrorForLog(std::exception_ptr error);
QString describeErrorForLog(const std::exception& error);

// The failure in a sentence a person can act on ("The API refused the token (401): check …"); empty for a
// cancellation and for failures from outside Tavrine. Never holds the screen's content.
QString errorReason(std::exception_ptr error);

// One line per remote model call on the model-call log: the call, the kind, the HTTP status when there is one,
// and the length of the text (never the text itself).
void logModelCall(const QString& call, const QString& kind, const QString& text,
                  std::optional<int> status = std::nullopt);

// The text encoded as a JSON string (quotes, escapes, "/" written "\/") cut into pieces of 700 user-perceived
// characters. Joining the pieces and decoding the JSON string gives the text back; every text gives at least one
// piece.
QStringList splitForLog(const QString& text);

// Dumps a long text on the evidence log: one head line, then one numbered private line per piece. Nothing is
// formatted when the category's information level is off.
void logEvidence(const QString& session, const QString& check, const QString& kind, const QString& content);

} // namespace tavrine

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tavrine::eval {

// One case of the nudge-writer evaluation: the facts to send, with an identifier and notes that are not sent.
struct NudgeEvalCase {
    QString id;
    QString intention;
    QString app;
    QString url;
    QString work;
    QString window;
    QString subject;
    QString focused;
    QString notes;

    friend bool operator==(const NudgeEvalCase&, const NudgeEvalCase&) = default;
};

// Decodes a cases file's bytes: a JSON array of objects, in file order; "id" is required, every other key reads
// as empty text when absent or null. Throws EvalFileError (decode).
QList<NudgeEvalCase> decodeNudgeEvalCases(const QByteArray& bytes);

} // namespace tavrine::eval

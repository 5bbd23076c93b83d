#pragma once

#include "tavrine/model/ActivityRelevance.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

namespace tavrine::eval {

// One case of the end-to-end and judge evaluations, as written in the cases file.
struct EvalCase {
    // The window a case stands for: from the case's own keys, else from the built-in table of sample screenshots.
    struct Metadata {
        QString app;
        QString bundle;
        QString title;
        QString url;
        QString subject;
        QString focused;

        friend bool operator==(const Metadata&, const Metadata&) = default;
    };

    QString id;
    QString image;
    QString intention;
    QString text;
    std::optional<ActivityRelevance> expected;
    QString notes;
    std::optional<QString> app;
    std::optional<QString> title;
    std::optional<QString> url;
    std::optional<QString> subject;
    std::optional<QString> focused;

    friend bool operator==(const EvalCase&, const EvalCase&) = default;
};

// Decodes a cases file's bytes: a JSON array of objects, in file order. Throws EvalFileError (decode) at the
// first bad member: a missing "id", a value of the wrong type, an "expected" label that is not exactly one of
// "relevant", "unrelated" or "uncertain" (an empty text counts as absent).
QList<EvalCase> decodeEvalCases(const QByteArray& bytes);

// The sample screenshots' window metadata by file name ("Safari.png", …), built once.
const QHash<QString, EvalCase::Metadata>& screenshotMetadataTable();

// The last path component of a case's image: the text after the last "/", the whole text without one; an empty
// image names nothing.
QString imageFileName(const QString& image);

// The case's window metadata: its own values where it gives them (an empty text included), else the table's
// row for its image's file name; without either, the app is that file name and everything else is empty. The
// bundle always comes from the table.
EvalCase::Metadata resolveCaseMetadata(const EvalCase& evalCase);

} // namespace tavrine::eval

#include "tavrine/eval/NudgeEvalCase.h"

#include "tavrine/eval/CaseFile.h"

namespace tavrine::eval {

namespace {

NudgeEvalCase decodeCase(const QJsonObject& object, qsizetype index) {
    using namespace casefile;
    NudgeEvalCase c;
    c.id = requiredText(object, QStringLiteral("id"), index);
    c.intention = text(object, QStringLiteral("intention"), index);
    c.app = text(object, QStringLiteral("app"), index);
    c.url = text(object, QStringLiteral("url"), index);
    c.work = text(object, QStringLiteral("work"), index);
    c.window = text(object, QStringLiteral("window"), index);
    c.subject = text(object, QStringLiteral("subject"), index);
    c.focused = text(object, QStringLiteral("focused"), index);
    c.notes = text(object, QStringLiteral("notes"), index);
    return c;
}

} // namespace

QList<NudgeEvalCase> decodeNudgeEvalCases(const QByteArray& bytes) {
    return casefile::decodeEach(bytes, decodeCase);
}

} // namespace tavrine::eval

#include "tavrine/eval/NudgeEvalCase.h"

#include "tavrine/eval/CaseFile.h"

namespace tavrine::eval {

QList<NudgeEvalCase> decodeNudgeEvalCases(const QByteArray& bytes) {
    using namespace casefile;
    const QList<QJsonObject> objects = casefile::objects(bytes);
    QList<NudgeEvalCase> cases;
    cases.reserve(objects.size());
    for (qsizetype i = 0; i < objects.size(); ++i) {
        const QJsonObject& object = objects[i];
        const qsizetype index = i + 1;
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
        cases.append(c);
    }
    return cases;
}

} // namespace tavrine::eval

#include "tavrine/session/NudgeCopy.h"

#include "tavrine/core/Text.h"

namespace tavrine {

namespace {

QString shortText(const QString& text, qsizetype limit) {
    return text::trimmed(text::graphemePrefix(text::collapseWhitespace(text), limit));
}

// The activity names the detour when it is short enough to read as a name: one to five words, at most 40
// characters, and no question.
QString detourSubject(const QString& work, const QString& app) {
    const qsizetype words = text::collapseWhitespace(work).split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
    if (words >= 1 && words <= 5 && text::graphemeCount(work) <= 40 && !work.contains(QLatin1Char('?')))
        return work;
    return app;
}

} // namespace

QString fallbackNudgeText(const NudgeFacts& facts) {
    QString goal = shortText(facts.intention, 150);
    if (goal.isEmpty())
        goal = QStringLiteral("work");
    const QString subject = detourSubject(shortText(facts.work, 100), shortText(facts.app, 40));
    if (subject.isEmpty())
        return QStringLiteral("Time to leave this detour. Get back to ") + goal + QLatin1Char('.');
    return QStringLiteral("Nice detour: ") + subject + QStringLiteral(". Drop it and get back to ") + goal +
           QLatin1Char('.');
}

} // namespace tavrine

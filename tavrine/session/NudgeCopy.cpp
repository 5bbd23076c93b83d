#include "tavrine/session/NudgeCopy.h"

#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"
#include "tavrine/model/NudgeText.h"

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

NudgeFacts makeNudgeFacts(const QString& intention, const QString& activity, const ActivityEvidence& evidence) {
    NudgeFacts facts;
    facts.intention = intention;
    facts.work = clipText(activityLabel(activity, evidence), 300);
    // The label filters see the application's own name, before any cut.
    const QString window = isUsefulLabel(evidence.title, evidence.app) ? evidence.title : QString();
    facts.window = distinctDetail(window, 120, {facts.work});
    const QString subject = isUsefulLabel(evidence.subject, evidence.app) ? evidence.subject : QString();
    facts.subject = distinctDetail(subject, 120, {facts.work, facts.window});
    const QString focused =
        isChromeLabel(evidence.focusedDescription, evidence.app) ? QString() : evidence.focusedDescription;
    facts.focused = distinctDetail(focused, 160, {facts.work, facts.window, facts.subject});
    facts.app = clipText(evidence.app, 200);
    facts.url = sanitizedPageURL(evidence.url);
    return facts;
}

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

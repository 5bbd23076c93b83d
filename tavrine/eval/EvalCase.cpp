#include "tavrine/eval/EvalCase.h"

#include "tavrine/eval/CaseFile.h"

#include <QJsonObject>

namespace tavrine::eval {

namespace {

std::optional<ActivityRelevance> expectedLabel(const QJsonObject& object, qsizetype index) {
    const QString key = QStringLiteral("expected");
    const std::optional<QString> label = casefile::optionalText(object, key, index);
    if (!label || label->isEmpty())
        return std::nullopt;
    if (const auto relevance = activityRelevanceFromRawValue(*label))
        return relevance;
    casefile::fail(index, key, QStringLiteral("Unknown expected label ") + *label);
}

EvalCase decodeCase(const QJsonObject& object, qsizetype index) {
    using namespace casefile;
    EvalCase c;
    c.id = requiredText(object, QStringLiteral("id"), index);
    c.image = text(object, QStringLiteral("image"), index);
    c.intention = text(object, QStringLiteral("intention"), index);
    c.text = text(object, QStringLiteral("text"), index);
    c.expected = expectedLabel(object, index);
    c.notes = text(object, QStringLiteral("notes"), index);
    c.app = optionalText(object, QStringLiteral("app"), index);
    c.title = optionalText(object, QStringLiteral("title"), index);
    c.url = optionalText(object, QStringLiteral("url"), index);
    c.subject = optionalText(object, QStringLiteral("subject"), index);
    c.focused = optionalText(object, QStringLiteral("focused"), index);
    return c;
}

QHash<QString, EvalCase::Metadata> buildScreenshotTable() {
    QHash<QString, EvalCase::Metadata> table;
    table.insert(QStringLiteral("Safari.png"), {QStringLiteral("Safari"), QStringLiteral("com.apple.Safari"),
                                                QStringLiteral("Accessibility - Wikipedia"),
                                                QStringLiteral("https://en.wikipedia.org/wiki/Accessibility"),
                                                QStringLiteral("Accessibility"), QString()});
    table.insert(QStringLiteral("Google_Chrome.png"),
                 {QStringLiteral("Google Chrome"), QStringLiteral("com.google.Chrome"),
                  QStringLiteral("Rust (programming language) - Wikipedia"),
                  QStringLiteral("https://en.wikipedia.org/wiki/Rust_(programming_language)"),
                  QStringLiteral("Rust (programming language)"), QString()});
    table.insert(QStringLiteral("Dia.png"),
                 {QStringLiteral("Dia"), QStringLiteral("company.thebrowser.dia"),
                  QStringLiteral("DuckDuckGo | cursor handoff work to phone"),
                  QStringLiteral("https://duckduckgo.com/?q=cursor+handoff+work+to+phone"),
                  QStringLiteral("How to Handoff Your Session"), QStringLiteral("cursor handoff work to phone")});
    table.insert(QStringLiteral("Cursor.png"),
                 {QStringLiteral("Cursor"), QStringLiteral("com.todesktop.230313mzl4w4u92"),
                  QStringLiteral("Cursor Agents"), QString(), QStringLiteral("MacOS screen tracking app"), QString()});
    table.insert(QStringLiteral("Mail.png"),
                 {QStringLiteral("Mail"), QStringLiteral("com.apple.mail"),
                  QStringLiteral("Inbox \u2013 sam.rivera@example.com"), QString(),
                  QStringLiteral("Your login code for the Northwind Payments portal"), QString()});
    table.insert(QStringLiteral("Notes_shopping.png"),
                 {QStringLiteral("Notes"), QStringLiteral("com.apple.Notes"), QStringLiteral("Shopping list"),
                  QString(), QStringLiteral("Shopping list"), QStringLiteral("milk")});
    table.insert(QStringLiteral("Calendar_standup.png"),
                 {QStringLiteral("Calendar"), QStringLiteral("com.apple.iCal"), QStringLiteral("Tuesday 22 Sep"),
                  QString(), QStringLiteral("Standup with Design"), QStringLiteral("Prepare: demo timeline")});
    table.insert(QStringLiteral("Terminal_git.png"), {QStringLiteral("Terminal"), QStringLiteral("com.apple.Terminal"),
                                                      QStringLiteral("tavrine \u2014 git status"), QString(),
                                                      QStringLiteral("git status"), QStringLiteral("On branch main")});
    return table;
}

} // namespace

QList<EvalCase> decodeEvalCases(const QByteArray& bytes) {
    return casefile::decodeEach(bytes, decodeCase);
}

const QHash<QString, EvalCase::Metadata>& screenshotMetadataTable() {
    static const QHash<QString, EvalCase::Metadata> table = buildScreenshotTable();
    return table;
}

QString imageFileName(const QString& image) {
    const qsizetype slash = image.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? image : image.mid(slash + 1);
}

EvalCase::Metadata resolveCaseMetadata(const EvalCase& evalCase) {
    const QString name = imageFileName(evalCase.image);
    const auto& table = screenshotMetadataTable();
    const auto row = table.constFind(name);
    const EvalCase::Metadata* known = row == table.constEnd() ? nullptr : &row.value();

    const auto pick = [known](const std::optional<QString>& own, QString EvalCase::Metadata::*field) {
        if (own)
            return *own;
        return known ? known->*field : QString();
    };
    EvalCase::Metadata metadata;
    metadata.app = evalCase.app ? *evalCase.app : (known ? known->app : name);
    metadata.bundle = known ? known->bundle : QString();
    metadata.title = pick(evalCase.title, &EvalCase::Metadata::title);
    metadata.url = pick(evalCase.url, &EvalCase::Metadata::url);
    metadata.subject = pick(evalCase.subject, &EvalCase::Metadata::subject);
    metadata.focused = pick(evalCase.focused, &EvalCase::Metadata::focused);
    return metadata;
}

} // namespace tavrine::eval

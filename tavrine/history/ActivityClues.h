#pragma once

#include <QString>
#include <QStringList>

namespace tavrine {

struct ActivityEvidence;

// What one stretch of a session remembers of the screen: the application, the site, window titles, the
// activity texts of the verdicts and snippets of visible text. The limits (5 titles, 5 captions, 2 excerpts)
// are kept by the adding rules of `merge`, not by the type.
struct ActivityClues {
    QString app;
    QString host;
    QStringList titles;
    QStringList captions;
    QStringList excerpts;

    static constexpr int listLimit = 5;
    static constexpr int excerptLimit = 2;
    static constexpr int excerptCharacters = 240;

    // The clues of one observation, with the verdict's activity text as caption.
    static ActivityClues fromEvidence(const ActivityEvidence& evidence, const QString& caption);

    // Folds another observation's clues into these: app and host only while empty, titles and captions by the
    // list rule, excerpts by the excerpt rule, each in the other's order.
    void merge(const ActivityClues& other);

    // List rule: collapsed and trimmed, skipped when empty, when the list is full or when an entry equals it
    // apart from letter case.
    static void addToList(QStringList& list, const QString& text);
    // Excerpt rule: skipped when empty or already held exactly; with two held, the newest is replaced so the
    // first excerpt of a stretch always stays.
    static void addExcerpt(QStringList& excerpts, const QString& text);

    bool isEmpty() const;
    bool operator==(const ActivityClues&) const = default;
};

} // namespace tavrine

#include "tavrine/history/ActivityClues.h"

#include "tavrine/core/Text.h"

namespace tavrine {

void ActivityClues::addToList(QStringList& list, const QString& text) {
    const QString normalised = text::collapseWhitespace(text);
    if (normalised.isEmpty() || list.size() >= listLimit)
        return;
    for (const QString& held : list) {
        // Unicode case folding, independent of the locale.
        if (held.compare(normalised, Qt::CaseInsensitive) == 0)
            return;
    }
    list.append(normalised);
}

void ActivityClues::addExcerpt(QStringList& excerpts, const QString& text) {
    if (text.isEmpty() || excerpts.contains(text))
        return;
    if (excerpts.size() >= excerptLimit)
        excerpts.last() = text;
    else
        excerpts.append(text);
}

void ActivityClues::merge(const ActivityClues& other) {
    if (app.isEmpty())
        app = other.app;
    if (host.isEmpty())
        host = other.host;
    for (const QString& title : other.titles)
        addToList(titles, title);
    for (const QString& caption : other.captions)
        addToList(captions, caption);
    for (const QString& excerpt : other.excerpts)
        addExcerpt(excerpts, excerpt);
}

bool ActivityClues::isEmpty() const {
    return app.isEmpty() && host.isEmpty() && titles.isEmpty() && captions.isEmpty() && excerpts.isEmpty();
}

} // namespace tavrine

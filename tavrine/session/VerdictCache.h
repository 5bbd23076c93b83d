#pragma once

#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityRelevance.h"

#include <QHash>
#include <QString>
#include <optional>

namespace tavrine {

// A confident verdict of the judge, kept so that the same window, page and content is not judged twice
// within ten minutes.
struct CachedVerdict {
    ActivityRelevance label = ActivityRelevance::Uncertain;
    // The evidence as judged, without its PNG.
    ActivityEvidence evidence;
    // Session-clock seconds when it was stored.
    double time = 0;
};

// The session's verdicts by window and page. Entries expire only by age at lookup, by replacement and by
// removal.
class VerdictCache {
public:
    // An entry this old or older is never used.
    static constexpr double maximumAge = 600.0;
    // A verdict is kept only when the judge's P(yes) lies outside this band (the bounds themselves are inside).
    static constexpr double lowConfidence = 0.3;
    static constexpr double highConfidence = 0.7;

    // The window identity's cache key followed by the page address: the key of verdicts and window passes.
    static QString key(const ActivityEvidence& evidence);

    // The label stored for this window and page, when it is younger than 600 s and was judged on the same
    // content.
    std::optional<ActivityRelevance> lookup(const ActivityEvidence& evidence, double now) const;

    // Keeps a definite verdict of a confident judge; any other verdict removes what was kept for that key, so a
    // stale confident verdict is never reused.
    void store(ActivityRelevance label, std::optional<double> confidence, const ActivityEvidence& evidence, double now);

    // The one label shared by every entry younger than 600 s whose key begins with `windowKey`; none when
    // there is no such entry or when they disagree.
    std::optional<ActivityRelevance> agreedLabel(const QString& windowKey, double now) const;

    void remove(const QString& key) { m_entries.remove(key); }
    void clear() { m_entries.clear(); }
    const CachedVerdict* entry(const QString& key) const;

private:
    static bool isFresh(const CachedVerdict& verdict, double now);
    QHash<QString, CachedVerdict> m_entries;
};

} // namespace tavrine

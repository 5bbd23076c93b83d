#include "tavrine/session/VerdictCache.h"

namespace tavrine {

QString VerdictCache::key(const ActivityEvidence& evidence) {
    return evidence.windowIdentity().cacheKey() + evidence.url;
}

bool VerdictCache::isFresh(const CachedVerdict& verdict, double now) {
    // Written so that a not-a-number age counts as too old.
    return now - verdict.time < maximumAge;
}

std::optional<ActivityRelevance> VerdictCache::lookup(const ActivityEvidence& evidence, double now) const {
    const auto it = m_entries.constFind(key(evidence));
    if (it == m_entries.constEnd() || !isFresh(*it, now))
        return std::nullopt;
    if (!it->evidence.hasSameContent(evidence))
        return std::nullopt;
    return it->label;
}

void VerdictCache::store(ActivityRelevance label, std::optional<double> confidence, const ActivityEvidence& evidence,
                         double now) {
    const QString entryKey = key(evidence);
    const bool confident = confidence && (*confidence < lowConfidence || *confidence > highConfidence);
    if (label == ActivityRelevance::Uncertain || !confident) {
        m_entries.remove(entryKey);
        return;
    }
    CachedVerdict verdict{label, evidence, now};
    verdict.evidence.imagePNG.reset();
    m_entries.insert(entryKey, std::move(verdict));
}

std::optional<ActivityRelevance> VerdictCache::agreedLabel(const QString& windowKey, double now) const {
    std::optional<ActivityRelevance> agreed;
    for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it) {
        if (!it.key().startsWith(windowKey) || !isFresh(*it, now))
            continue;
        if (agreed && *agreed != it->label)
            return std::nullopt;
        agreed = it->label;
    }
    return agreed;
}

const CachedVerdict* VerdictCache::entry(const QString& key) const {
    const auto it = m_entries.constFind(key);
    return it == m_entries.constEnd() ? nullptr : &*it;
}

} // namespace tavrine

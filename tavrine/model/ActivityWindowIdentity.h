#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace tavrine {

// Which window of which application: what the session keys its caches by and remembers as the work window.
struct ActivityWindowIdentity {
    QString bundle;
    qint32 pid = 0;
    std::optional<quint32> windowID;
    QString title;

    // "bundle|number|title|" with 0 for an absent window number; the process id takes no part, so a relaunched
    // application keeps its keys.
    QString cacheKey() const;

    friend bool operator==(const ActivityWindowIdentity&, const ActivityWindowIdentity&) = default;
};

} // namespace tavrine

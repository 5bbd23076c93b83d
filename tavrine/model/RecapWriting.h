#pragma once

#include "tavrine/model/RecapDetourFacts.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QMap>
#include <QString>

namespace tavrine {

// Writes one short phrase per top detour of a finished session. Main thread only.
class RecapWriting {
public:
    virtual ~RecapWriting() = default;

    // The prompt version of the last answer that named one.
    virtual QString promptVersion() const = 0;

    // Detour id → recap line. Throws on a failed call or an unusable answer.
    virtual QCoro::Task<QMap<QString, QString>> write(QString intention, QList<RecapDetourFacts> facts) = 0;
};

} // namespace tavrine

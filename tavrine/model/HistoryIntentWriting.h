#pragma once

#include "tavrine/model/HistoryBlockFacts.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QMap>
#include <QString>

namespace tavrine {

// Writes one short intent line per timeline block of a finished session. Main thread only.
class HistoryIntentWriting {
public:
    virtual ~HistoryIntentWriting() = default;

    // The prompt version of the last answer that named one.
    virtual QString promptVersion() const = 0;

    // Block id → intent line. Throws on failure.
    virtual QCoro::Task<QMap<QString, QString>> write(QString intention, QList<HistoryBlockFacts> facts) = 0;
};

} // namespace tavrine

#pragma once

#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/services/JevVerdict.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <optional>

namespace tavrine {

// Judges one observation against an intention and its job actions. Main thread only.
class JevJudging {
public:
    virtual ~JevJudging() = default;
    // Throws JevClientError, or passes transport errors, CancelledError and JsonParseError through.
    virtual QCoro::Task<JevVerdict> judge(QString intention, std::optional<QString> actions,
                                          ActivityEvidence evidence) = 0;
};

} // namespace tavrine

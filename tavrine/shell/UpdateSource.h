#pragma once

#include "tavrine/shell/UpdaterDelegate.h"

#include <QCoro/QCoroTask>
#include <optional>

namespace tavrine::shell {

// Where updates come from: finds, downloads and verifies a newer version. Throws a tavrine::Error when the
// check fails.
class UpdateSource {
public:
    virtual ~UpdateSource() = default;
    // A verified newer version staged for installation, or none when `currentVersion` is the latest.
    virtual QCoro::Task<std::optional<UpdateItem>> findUpdate(QString currentVersion) = 0;
};

} // namespace tavrine::shell

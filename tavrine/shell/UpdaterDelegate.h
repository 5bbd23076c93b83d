#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace tavrine::shell {

class UpdaterController;

// A newer version found by an update source, ready to install: the program started to install it and come back.
struct UpdateItem {
    QString version;
    QString program;
    QStringList arguments;
};

// Why a check was refused.
struct UpdaterError {
    QString domain;
    long code = 0;
    QString description;
};

// Asked by the updater before it checks and before it relaunches. Main thread only.
class UpdaterDelegate {
public:
    virtual ~UpdaterDelegate() = default;
    // `kind` is UpdaterController::CheckKind. False refuses the check; `error`, when given, receives why.
    virtual bool mayPerformUpdateCheck(UpdaterController& updater, int kind, UpdaterError* error) = 0;
    // True holds the relaunch back until `relaunch` is called; false lets the updater relaunch now.
    virtual bool shouldPostponeRelaunch(UpdaterController& updater, const UpdateItem& item,
                                        std::function<void()> relaunch) = 0;
};

} // namespace tavrine::shell

#pragma once

#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityJudgment.h"

#include <QString>
#include <QUuid>
#include <QtGlobal>

namespace tavrine {

// One captured observation on its way to a decision, with the session generation and activity revision of the
// moment its capture started: later stages compare them to tell stale results.
struct ActivitySnapshot {
    QUuid id;
    // The capture pass that took it: the first 8 characters of a fresh UUID's text.
    QString checkID;
    qint64 sessionGeneration = 0;
    qint64 activityRevision = 0;
    // Session-clock seconds when the capture started.
    double observedAt = 0;
    ActivityEvidence evidence;
};

// The latest snapshot of the current activity that a decision was accepted for.
struct EvaluatedActivity {
    ActivitySnapshot snapshot;
    ActivityJudgment judgment;
};

} // namespace tavrine

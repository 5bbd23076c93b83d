#pragma once

#include "tavrine/model/ActivityRelevance.h"

#include <QString>

namespace tavrine {

// The judge's answer for one observation.
struct JevVerdict {
    double enoughEvidence = 0; // how far the observation suffices to judge
    double supportsJob = 0;    // how far the activity supports the job; the classifier's confidence
    ActivityRelevance label = ActivityRelevance::Uncertain;
    QString question; // the question that supportsJob answers; never empty
    QString version;
    QString model;

    // "enough_evidence: 0.9000\n<question>: 0.1235", for logs and notes.
    QString summary() const;

    friend bool operator==(const JevVerdict&, const JevVerdict&) = default;
};

} // namespace tavrine

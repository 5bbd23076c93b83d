#pragma once

#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/NudgeFacts.h"

#include <QString>

namespace tavrine {

// What the nudge writer is told about a confirmed detour: the judged activity (or the window title, or the
// application) as the work, then the window title, the subject and the focused element, each only when it is
// a meaningful label that no earlier fact already says, then the application and the cleaned page address.
NudgeFacts makeNudgeFacts(const QString& intention, const QString& activity, const ActivityEvidence& evidence);

// The sentence shown when there is no writer or the writer failed: "Nice detour: <activity or app>. Drop it
// and get back to <intention>." when there is something to name, else "Time to leave this detour. Get back to
// <intention>.". An empty intention reads "work".
QString fallbackNudgeText(const NudgeFacts& facts);

} // namespace tavrine

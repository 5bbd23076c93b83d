#pragma once

#include "tavrine/model/ActivityEvidence.h"

#include <QString>
#include <QStringList>

namespace tavrine {

// Small text functions with which the session shortens and de-duplicates the facts of a nudge. All counts are
// user-perceived characters; whitespace is collapsed first (every Unicode whitespace run becomes one blank).

// The collapsed text, at most `limit` characters: a longer one is cut at `limit`, then back to just after its
// last "." when that stands 40 or more characters in, else to just before its last blank; no ellipsis.
QString clipText(const QString& text, qsizetype limit);

// The collapsed activity when not empty, else the evidence's collapsed title, else "Used " and its collapsed
// app name, else "".
QString activityLabel(const QString& activity, const ActivityEvidence& evidence);

// clipText(text, limit), or "" when that equals one of `others` (collapsed) apart from letter case.
QString distinctDetail(const QString& text, qsizetype limit, const QStringList& others);

// An http(s) page address reduced to lower-case scheme and host and the path as it was (no user, password,
// port, query or fragment), at most 200 characters; "" for anything that is not such an address.
QString sanitizedPageURL(const QString& url);

} // namespace tavrine

#pragma once

#include <QString>

namespace tavrine {

// A fresh identifier for one check or service call in the logs: the first 8 characters of a new UUID's
// upper-case text. Short enough to read in a log line, unique enough within one session's lines.
QString makeCheckID();

} // namespace tavrine

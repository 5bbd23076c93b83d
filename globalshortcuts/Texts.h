#pragma once

#include <QString>

namespace globalshortcuts {

// The library's user-visible texts by key ("record_shortcut", "space_key", ...). The English table is compiled
// in, so a text can never be missing at run time; an unknown key gives the key itself.
QString localizedText(const QString& key);

} // namespace globalshortcuts

#include "globalshortcuts/GlobalShortcuts.h"

namespace globalshortcuts {

const Name& openMainWindow() {
    static const Name name(QStringLiteral("openMainWindow"), Shortcut(Key::p, Flag::option | Flag::command));
    return name;
}

} // namespace globalshortcuts

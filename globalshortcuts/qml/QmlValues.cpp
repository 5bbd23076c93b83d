#include "globalshortcuts/qml/QmlValues.h"

#include "globalshortcuts/Registry.h"

namespace globalshortcuts {

QString ShortcutValue::text() const {
    return value ? value->description(Registry::instance().keyboardLayout()) : QString();
}

} // namespace globalshortcuts

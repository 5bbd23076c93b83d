#include "globalshortcuts/Name.h"

#include "globalshortcuts/Registry.h"

namespace globalshortcuts {

Name::Name(const QString& rawValue, std::optional<Shortcut> initialShortcut)
    : Name(Registry::instance().makeName(rawValue, initialShortcut)) {}

Name Name::fromRawValue(const QString& rawValue) {
    return withInitialShortcut(rawValue, std::nullopt);
}

Name Name::withInitialShortcut(const QString& rawValue, std::optional<Shortcut> initialShortcut) {
    Name name;
    name.m_rawValue = rawValue;
    name.m_initialShortcut = initialShortcut;
    return name;
}

std::optional<Shortcut> Name::shortcut() const {
    return Registry::instance().getShortcut(*this);
}

void Name::setShortcut(const std::optional<Shortcut>& shortcut) const {
    Registry::instance().setShortcut(shortcut, *this);
}

} // namespace globalshortcuts

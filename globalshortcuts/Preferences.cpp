#include "globalshortcuts/Preferences.h"

namespace globalshortcuts {

std::optional<PreferenceValue> MemoryPreferences::value(const QString& key) const {
    auto it = m_values.constFind(key);
    if (it == m_values.constEnd())
        return std::nullopt;
    return *it;
}

void MemoryPreferences::setValue(const QString& key, const PreferenceValue& value) {
    if (!m_values.contains(key))
        m_order.append(key);
    m_values.insert(key, value);
    ++m_writes;
}

void MemoryPreferences::remove(const QString& key) {
    if (m_values.remove(key)) {
        m_order.removeOne(key);
        ++m_writes;
    }
}

} // namespace globalshortcuts

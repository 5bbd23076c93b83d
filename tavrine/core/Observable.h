#pragma once

#include <cmath>
#include <utility>

namespace tavrine {

// Setter helper for observable properties: stores the value and answers true only on a real change, so the
// caller emits its notify signal only then and an equal value starts no view update.
//     if (assignIfChanged(m_label, label)) emit labelChanged();
template <typename T, typename U> bool assignIfChanged(T& field, U&& value) {
    if (field == value)
        return false;
    field = std::forward<U>(value);
    return true;
}

// Two NaNs are the same value for an observer: nothing changed on screen.
inline bool assignIfChanged(double& field, double value) {
    if (field == value || (std::isnan(field) && std::isnan(value)))
        return false;
    field = value;
    return true;
}

} // namespace tavrine

#pragma once

#include <QPalette>

namespace tavrine::ui {

// Qt 6.4 has no colour-scheme API: a window colour darker than mid grey means the dark scheme.
bool isDark(const QPalette& palette);

// The application palette's scheme.
bool applicationIsDark();

} // namespace tavrine::ui

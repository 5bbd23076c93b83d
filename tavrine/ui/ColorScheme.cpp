#include "tavrine/ui/ColorScheme.h"

#include <QGuiApplication>

namespace tavrine::ui {

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

bool applicationIsDark() {
    return isDark(QGuiApplication::palette());
}

} // namespace tavrine::ui

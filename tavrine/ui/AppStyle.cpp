#include "tavrine/ui/AppStyle.h"

#include "tavrine/ui/WindowRaising.h"

namespace tavrine::ui {

QColor AppStyle::accentColor() {
    return QColor::fromRgbF(0.333f, 0.408f, 0.784f, 1.0f);
}

bool AppStyle::adaptiveButtonProminent(bool prominent) {
    return adaptiveButtonStyle(prominent) == AdaptiveButtonStyle::BorderedProminent;
}

} // namespace tavrine::ui

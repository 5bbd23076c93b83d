#include "tavrine/ui/AppStyle.h"

namespace tavrine::ui {

QColor AppStyle::accentColor() {
    return QColor::fromRgbF(0.333f, 0.408f, 0.784f, 1.0f);
}

} // namespace tavrine::ui

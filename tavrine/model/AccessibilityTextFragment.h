#pragma once

#include "tavrine/model/Rectangles.h"

#include <QRectF>
#include <QString>
#include <optional>

namespace tavrine {

// One piece of text read from an element of another application's window.
struct AccessibilityTextFragment {
    QString text;
    std::optional<QRectF> frame;
    std::optional<QRectF> containerFrame;
    bool isEditable = false;
    QString role;
    int sourceOrder = 0;

    friend bool operator==(const AccessibilityTextFragment& a, const AccessibilityTextFragment& b) {
        return a.text == b.text && sameRectangle(a.frame, b.frame) &&
               sameRectangle(a.containerFrame, b.containerFrame) && a.isEditable == b.isEditable && a.role == b.role &&
               a.sourceOrder == b.sourceOrder;
    }
};

} // namespace tavrine

#pragma once

#include "tavrine/model/AccessibilityTextFragment.h"

#include <QList>
#include <QSet>
#include <QString>

namespace tavrine {

// Selected text of a window with the fragments it came from. Every capture reports the empty selection.
struct AccessibilitySelection {
    QString text;
    QList<AccessibilityTextFragment> orderedFragments;
    QSet<int> selectedSourceOrders;

    friend bool operator==(const AccessibilitySelection&, const AccessibilitySelection&) = default;
};

} // namespace tavrine

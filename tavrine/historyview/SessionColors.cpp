#include "tavrine/historyview/SessionColors.h"

namespace tavrine {

QColor SessionColors::kindColor(SessionTimeline::Kind kind) {
    switch (kind) {
    case SessionTimeline::Kind::Related:
        return relatedColor();
    case SessionTimeline::Kind::Detour:
        return detourColor();
    case SessionTimeline::Kind::Pause:
    case SessionTimeline::Kind::Gap:
        break;
    }
    // The secondary grey of text and symbols.
    return QColor(0x8E, 0x8E, 0x93);
}

} // namespace tavrine

#include "tavrine/nudge/NudgeHoverState.h"

#include "tavrine/core/Observable.h"

namespace tavrine::nudge {

void NudgeHoverState::setCard(bool card) {
    if (assignIfChanged(m_card, card))
        emit cardChanged();
}

void NudgeHoverState::setClose(bool close) {
    if (assignIfChanged(m_close, close))
        emit closeChanged();
}

void NudgeHoverState::reset() {
    setCard(false);
    setClose(false);
}

} // namespace tavrine::nudge

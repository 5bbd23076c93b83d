#include "tavrine/session/TaskSlot.h"

namespace tavrine {

TaskSlot::Ticket TaskSlot::begin() {
    cancel();
    m_source.emplace();
    m_present = true;
    return Ticket{++m_id, m_source->token()};
}

void TaskSlot::cancel() {
    if (m_source)
        m_source->cancel();
}

void TaskSlot::clear() {
    cancel();
    m_present = false;
}

void TaskSlot::finish(quint64 id) {
    if (isCurrent(id))
        m_present = false;
}

} // namespace tavrine

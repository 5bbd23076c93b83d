#pragma once

#include "tavrine/core/Cancellation.h"

#include <QtGlobal>
#include <optional>

namespace tavrine {

// The session's handle on one of its running tasks (a judgment, a final check, a settle check …).
//
// Tasks start eagerly and may finish before the code that started them stores anything, so the slot is marked
// busy *before* the body starts: `begin` hands out the task's id and token, then the caller starts the body.
// A body that ends clears the slot only while it is still the slot's current task, so a late end of a replaced
// task never empties the slot of its successor.
class TaskSlot {
public:
    struct Ticket {
        quint64 id;
        CancellationToken token;
    };

    // Cancels the task held so far (if any) and marks the slot busy with a new one.
    Ticket begin();
    // A task is held (running, or cancelled and not yet replaced or cleared).
    bool isPresent() const { return m_present; }
    bool isCurrent(quint64 id) const { return m_present && m_id == id; }
    // Cancels the held task; the slot keeps it until it is replaced or cleared.
    void cancel();
    // Cancels the held task and empties the slot.
    void clear();
    // The task `id` ended: empties the slot when that task is still the one held.
    void finish(quint64 id);

private:
    bool m_present = false;
    quint64 m_id = 0;
    std::optional<CancellationSource> m_source;
};

} // namespace tavrine

#pragma once

#include "tavrine/model/WorkspaceEventSource.h"

namespace tavrine::test {

// A workspace whose events the test emits itself: `emit events.willSleep();`.
class FakeWorkspaceEvents final : public WorkspaceEventSource {
public:
    explicit FakeWorkspaceEvents(QObject* parent = nullptr) : WorkspaceEventSource(parent) {}
};

} // namespace tavrine::test

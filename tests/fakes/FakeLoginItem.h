#pragma once

#include "tavrine/platform/LoginItem.h"

namespace tavrine::test {

// A login item in memory; `failWith` makes every change fail with that description.
class FakeLoginItem final : public platform::LoginItem {
public:
    Status state = Status::NotRegistered;
    QString failWith;
    int registerCalls = 0;
    int unregisterCalls = 0;

    Status status() const override { return state; }
    void registerItem() override {
        ++registerCalls;
        if (!failWith.isEmpty())
            throw platform::LoginItemError(failWith);
        state = Status::Enabled;
    }
    void unregisterItem() override {
        ++unregisterCalls;
        if (!failWith.isEmpty())
            throw platform::LoginItemError(failWith);
        state = Status::NotRegistered;
    }
};

} // namespace tavrine::test

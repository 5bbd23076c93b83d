#pragma once

#include <QHashFunctions>

namespace globalshortcuts {

// What the recorder does about one kind of conflict: refuse, warn and let the user insist, or accept silently.
enum class ConflictBehavior : quint8 { block = 0, warn = 1, allow = 2 };

struct ConflictPolicy {
    ConflictBehavior menuItem = ConflictBehavior::block;
    ConflictBehavior systemShortcut = ConflictBehavior::warn;
    // There is no insisting on a disallowed shortcut: warn acts as block.
    ConflictBehavior disallowed = ConflictBehavior::block;

    friend bool operator==(const ConflictPolicy&, const ConflictPolicy&) = default;

    static constexpr ConflictPolicy standard() { return {}; }
    static constexpr ConflictPolicy allowAll() {
        return {ConflictBehavior::allow, ConflictBehavior::allow, ConflictBehavior::allow};
    }
};

inline size_t qHash(const ConflictPolicy& policy, size_t seed = 0) noexcept {
    return ::qHashMulti(seed, quint8(policy.menuItem), quint8(policy.systemShortcut), quint8(policy.disallowed));
}

} // namespace globalshortcuts

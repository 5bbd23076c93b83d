#pragma once

#include "globalshortcuts/HotKeyBackend.h"
#include "globalshortcuts/Registry.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <map>

namespace globalshortcuts::test {

using Combination = std::pair<qint64, qint64>;

// Holds combinations in a set; refuses those in `refused`. Native codes map to Carbon codes through `natives`.
class FakeBackend final : public HotKeyBackend,
                          public KeyboardLayout,
                          public SystemHotKeyProvider,
                          public KeyRepeatSettings {
public:
    void setSink(Sink* s) override { sink = s; }
    bool registerHotKey(qint64 id, qint64 code, qint64 modifiers) override {
        ++registerCalls;
        if (refused.contains({code, modifiers}))
            return false;
        held.insert(id, {code, modifiers});
        return true;
    }
    void unregisterHotKey(qint64 id) override { held.remove(id); }
    std::optional<qint64> carbonKeyCodeForNative(quint32 native) const override {
        auto it = natives.constFind(native);
        return it == natives.constEnd() ? std::nullopt : std::optional<qint64>(*it);
    }
    void beep() override {}
    std::optional<QString> character(qint64 code) const override {
        auto it = characters.constFind(code);
        return it == characters.constEnd() ? std::nullopt : std::optional<QString>(*it);
    }
    QList<Combination> copySystemHotKeys() const override { return systemList; }
    bool isHeldElsewhere(qint64 code, qint64 modifiers) const override {
        ++probes;
        return heldElsewhere.contains({code, modifiers});
    }
    KeyRepeat keyRepeat() const override { return repeat; }

    bool holds(Combination c) const { return held.values().contains(c); }
    void fire(Combination c, EventType type) {
        for (auto it = held.constBegin(); it != held.constEnd(); ++it)
            if (*it == c)
                sink->hotKeyEvent(it.key(), type);
    }

    Sink* sink = nullptr;
    QMap<qint64, Combination> held;
    QSet<Combination> refused;
    QHash<quint32, qint64> natives;
    QHash<qint64, QString> characters{{35, QStringLiteral("p")}, {0, QStringLiteral("a")}, {16, QStringLiteral("y")}};
    QList<Combination> systemList;
    QSet<Combination> heldElsewhere;
    mutable int probes = 0;
    int registerCalls = 0;
    KeyRepeat repeat{500, 30};
};

// Virtual milliseconds.
class FakeTimers final : public TimerSource {
public:
    quint64 start(int ms, std::function<void()> action) override {
        timers.emplace(++lastId, Timer{now + ms, std::move(action)});
        return lastId;
    }
    void cancel(quint64 id) override { timers.erase(id); }
    void advance(int ms) {
        const qint64 until = now + ms;
        for (;;) {
            auto next = timers.end();
            for (auto it = timers.begin(); it != timers.end(); ++it)
                if (it->second.due <= until && (next == timers.end() || it->second.due < next->second.due))
                    next = it;
            if (next == timers.end())
                break;
            now = next->second.due;
            auto action = std::move(next->second.action);
            timers.erase(next);
            action();
        }
        now = until;
    }
    struct Timer {
        qint64 due;
        std::function<void()> action;
    };
    std::map<quint64, Timer> timers;
    quint64 lastId = 0;
    qint64 now = 0;
};

// A registry over the fakes above.
struct Desk {
    MemoryPreferences preferences;
    FakeBackend backend;
    FakeTimers timers;
    Registry registry{{&preferences, &backend, &backend, &backend, &backend, &timers}};
};

} // namespace globalshortcuts::test

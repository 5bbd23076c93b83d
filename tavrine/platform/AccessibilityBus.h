#pragma once

#include <QHash>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavrine::platform {

// One accessible object of another application: its bus name and object path.
struct AccessibleRef {
    QString service;
    QString path;

    bool isNull() const;
    friend bool operator==(const AccessibleRef&, const AccessibleRef&) = default;
};
size_t qHash(const AccessibleRef& ref, size_t seed = 0);

// The AT-SPI roles the capture tells apart (values of AtspiRole).
namespace role {
constexpr quint32 directoryPane = 17;
constexpr quint32 frame = 23;
constexpr quint32 label = 29;
constexpr quint32 listItem = 32;
constexpr quint32 menuBar = 34;
constexpr quint32 pageTab = 37;
constexpr quint32 pageTabList = 38;
constexpr quint32 panel = 39;
constexpr quint32 passwordText = 40;
constexpr quint32 pushButton = 43;
constexpr quint32 radioButton = 44;
constexpr quint32 scrollPane = 49;
constexpr quint32 statusBar = 54;
constexpr quint32 tableCell = 56;
constexpr quint32 text = 61;
constexpr quint32 toolBar = 63;
constexpr quint32 window = 69;
constexpr quint32 paragraph = 73;
constexpr quint32 application = 75;
constexpr quint32 entry = 79;
constexpr quint32 caption = 81;
constexpr quint32 heading = 83;
constexpr quint32 link = 88;
constexpr quint32 documentWeb = 95;
constexpr quint32 staticText = 116;
} // namespace role

// The AT-SPI states the capture reads (bit numbers of AtspiStateType).
namespace state {
constexpr int active = 1;
constexpr int editable = 7;
constexpr int focused = 12;
constexpr int selected = 23;
constexpr int showing = 25;
constexpr int visible = 30;
} // namespace state

// A set of AT-SPI states.
struct AccessibleStates {
    quint64 bits = 0;
    bool has(int state) const { return state >= 0 && state < 64 && (bits >> state) & 1U; }
    AccessibleStates& set(int state) {
        bits |= quint64(1) << state;
        return *this;
    }
};

// What a batched read asks of each object: bits of a read's `wanted`.
namespace fact {
constexpr quint32 states = 1U << 0;
constexpr quint32 role = 1U << 1;
constexpr quint32 extents = 1U << 2;
constexpr quint32 name = 1U << 3;
constexpr quint32 description = 1U << 4;
constexpr quint32 childCount = 1U << 5;
} // namespace fact

// The answers of a batched read about one object: absent where not asked for or unreadable.
struct AccessibleFacts {
    std::optional<AccessibleStates> states;
    std::optional<quint32> role;
    std::optional<QRect> extents;
    std::optional<QString> name;
    std::optional<QString> description;
    std::optional<int> childCount;
};

// What to read of one object (bits of `fact`).
struct FactsRead {
    AccessibleRef object;
    quint32 wanted = 0;
};

// An object whose number of children is known, and how many of them to read.
struct ChildrenRead {
    AccessibleRef object;
    int count = 0;
    int limit = 0;
};

// The accessibility trees of the other applications. Every read is one message with a 0.2-second time-out and
// blocks the calling thread: call it from a worker thread, never from the main thread. A read that fails, times
// out or yields a value of the wrong type is absent. Thread-safe.
//
// The batched reads ask the same questions as the single ones, but send their messages together: the application
// answers them back to back, and the caller waits for one round trip instead of one per message. Each message
// still fails or times out on its own.
class AccessibilityBus {
public:
    virtual ~AccessibilityBus() = default;

    // The root of the process's tree; none when the process exposes no tree.
    virtual std::optional<AccessibleRef> application(qint32 pid) = 0;
    // At most `limit` children, in the application's order; empty when unreadable.
    virtual QList<AccessibleRef> children(const AccessibleRef& object, int limit) = 0;
    // How many children the object has.
    virtual std::optional<int> childCount(const AccessibleRef& object) = 0;
    virtual std::optional<AccessibleRef> parent(const AccessibleRef& object) = 0;
    virtual std::optional<quint32> role(const AccessibleRef& object) = 0;
    // The toolkit's role name ("page tab", "push button").
    virtual QString roleName(const AccessibleRef& object) = 0;
    virtual std::optional<AccessibleStates> states(const AccessibleRef& object) = 0;
    virtual std::optional<QString> name(const AccessibleRef& object) = 0;
    virtual std::optional<QString> description(const AccessibleRef& object) = 0;
    // The Text interface's content, at most `limit` characters.
    virtual std::optional<QString> text(const AccessibleRef& object, int limit) = 0;
    // The object's area in screen coordinates.
    virtual std::optional<QRect> extents(const AccessibleRef& object) = 0;
    // The object attributes ("placeholder-text", …).
    virtual std::optional<QHash<QString, QString>> attributes(const AccessibleRef& object) = 0;
    // The Document interface's attributes ("DocURL", "URI", …).
    virtual std::optional<QHash<QString, QString>> documentAttributes(const AccessibleRef& object) = 0;
    // The names of the Action interface's actions, in index order.
    virtual std::optional<QStringList> actionNames(const AccessibleRef& object) = 0;
    // Runs action `index`; answers the application's status (true when it ran), none when the call failed.
    virtual std::optional<bool> doAction(const AccessibleRef& object, int index) = 0;

    // The wanted facts of every object: one answer per read, in order. Reads one object after another unless a bus
    // can do better.
    virtual QList<AccessibleFacts> facts(const QList<FactsRead>& reads);
    // The children of every object, as `children` reads them with the read's limit, where the object's number of
    // children is known (none are read for a count of 0): one list per read, in order.
    virtual QList<QList<AccessibleRef>> children(const QList<ChildrenRead>& reads);
};

} // namespace tavrine::platform

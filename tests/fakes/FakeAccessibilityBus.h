#pragma once

#include "tavrine/platform/AccessibilityBus.h"

#include <QHash>

#include <mutex>

namespace tavrine::test {

// An in-memory accessibility tree. Each application is a service of its own; an element that was never
// filled in answers nothing (a failed read). Reads are counted, each fact of each element on its own, and so are the
// waits for answers: one per single read, one per batch. Thread-safe: captures read it from their worker threads.
class FakeAccessibilityBus final : public platform::AccessibilityBus {
public:
    struct Node {
        quint32 role = 0;
        QString roleName;
        // States default to showing; none makes the state read fail.
        std::optional<platform::AccessibleStates> states = platform::AccessibleStates().set(platform::state::showing);
        std::optional<QString> name;
        std::optional<QString> description;
        std::optional<QString> text;
        std::optional<QRect> extents;
        std::optional<QHash<QString, QString>> attributes;
        std::optional<QHash<QString, QString>> documentAttributes;
        std::optional<QStringList> actions;
        // What DoAction answers; none makes the call fail.
        std::optional<bool> actionResult = true;
        QList<platform::AccessibleRef> children;
        std::optional<platform::AccessibleRef> parent;
        int actionsRun = 0;
    };

    // The root of a process's tree.
    platform::AccessibleRef addApplication(qint32 pid, const QString& name);
    // A new element below `parent`, appended to its children.
    platform::AccessibleRef add(const platform::AccessibleRef& parent, Node node);
    // A convenience: role and name.
    platform::AccessibleRef add(const platform::AccessibleRef& parent, quint32 role, const QString& name = {});
    // Adds an existing element as a further child of `parent` (a tree that repeats elements).
    void link(const platform::AccessibleRef& parent, const platform::AccessibleRef& child);
    // Changes an element under the lock.
    void edit(const platform::AccessibleRef& ref, const std::function<void(Node&)>& change);
    Node node(const platform::AccessibleRef& ref) const;
    int reads() const;
    int waits() const;
    // How many times each element's states were read.
    QHash<platform::AccessibleRef, int> stateReads() const;
    // Makes every read of the process's tree fail from now on (the application stopped answering).
    void removeApplication(qint32 pid);

    std::optional<platform::AccessibleRef> application(qint32 pid) override;
    QList<platform::AccessibleRef> children(const platform::AccessibleRef& object, int limit) override;
    std::optional<int> childCount(const platform::AccessibleRef& object) override;
    std::optional<platform::AccessibleRef> parent(const platform::AccessibleRef& object) override;
    std::optional<quint32> role(const platform::AccessibleRef& object) override;
    QString roleName(const platform::AccessibleRef& object) override;
    std::optional<platform::AccessibleStates> states(const platform::AccessibleRef& object) override;
    std::optional<QString> name(const platform::AccessibleRef& object) override;
    std::optional<QString> description(const platform::AccessibleRef& object) override;
    std::optional<QString> text(const platform::AccessibleRef& object, int limit) override;
    std::optional<QRect> extents(const platform::AccessibleRef& object) override;
    std::optional<QHash<QString, QString>> attributes(const platform::AccessibleRef& object) override;
    std::optional<QHash<QString, QString>> documentAttributes(const platform::AccessibleRef& object) override;
    std::optional<QStringList> actionNames(const platform::AccessibleRef& object) override;
    std::optional<bool> doAction(const platform::AccessibleRef& object, int index) override;
    QList<platform::AccessibleFacts> facts(const QList<platform::FactsRead>& reads) override;
    QList<QList<platform::AccessibleRef>> children(const QList<platform::ChildrenRead>& reads) override;

private:
    // One read of one element (a single read also waits for its answer).
    const Node* find(const platform::AccessibleRef& ref) const;
    const Node* findInBatch(const platform::AccessibleRef& ref) const;
    // One optional field of a node, read under the lock; no node reads as no value.
    template <typename T> std::optional<T> field(const platform::AccessibleRef& ref, std::optional<T> Node::*member) {
        std::lock_guard lock(m_mutex);
        const Node* node = find(ref);
        return node ? node->*member : std::nullopt;
    }

    mutable std::mutex m_mutex;
    QHash<platform::AccessibleRef, Node> m_nodes;
    QHash<qint32, platform::AccessibleRef> m_applications;
    int m_nextId = 1;
    mutable int m_reads = 0;
    mutable int m_waits = 0;
    mutable QHash<platform::AccessibleRef, int> m_stateReads;
};

} // namespace tavrine::test

#include "fakes/FakeAccessibilityBus.h"

#include <algorithm>

namespace tavrine::test {

using platform::AccessibleRef;

namespace {

QString defaultRoleName(quint32 role) {
    namespace r = platform::role;
    switch (role) {
    case r::pageTab:
        return QStringLiteral("page tab");
    case r::pageTabList:
        return QStringLiteral("page tab list");
    case r::radioButton:
        return QStringLiteral("radio button");
    case r::pushButton:
        return QStringLiteral("push button");
    case r::frame:
        return QStringLiteral("frame");
    case r::documentWeb:
        return QStringLiteral("document web");
    case r::heading:
        return QStringLiteral("heading");
    default:
        return QStringLiteral("unknown");
    }
}

} // namespace

AccessibleRef FakeAccessibilityBus::addApplication(qint32 pid, const QString& name) {
    std::lock_guard lock(m_mutex);
    const AccessibleRef ref{QStringLiteral(":1.%1").arg(pid), QStringLiteral("/org/a11y/atspi/accessible/root")};
    Node node;
    node.role = 75;
    node.roleName = QStringLiteral("application");
    node.name = name;
    m_nodes.insert(ref, node);
    m_applications.insert(pid, ref);
    return ref;
}

AccessibleRef FakeAccessibilityBus::add(const AccessibleRef& parent, Node node) {
    std::lock_guard lock(m_mutex);
    const AccessibleRef ref{parent.service, QStringLiteral("/org/a11y/atspi/accessible/%1").arg(m_nextId++)};
    if (node.roleName.isEmpty())
        node.roleName = defaultRoleName(node.role);
    node.parent = parent;
    m_nodes.insert(ref, node);
    m_nodes[parent].children.append(ref);
    return ref;
}

AccessibleRef FakeAccessibilityBus::add(const AccessibleRef& parent, quint32 role, const QString& name) {
    Node node;
    node.role = role;
    if (!name.isNull())
        node.name = name;
    return add(parent, node);
}

void FakeAccessibilityBus::link(const AccessibleRef& parent, const AccessibleRef& child) {
    std::lock_guard lock(m_mutex);
    m_nodes[parent].children.append(child);
}

void FakeAccessibilityBus::edit(const AccessibleRef& ref, const std::function<void(Node&)>& change) {
    std::lock_guard lock(m_mutex);
    change(m_nodes[ref]);
}

FakeAccessibilityBus::Node FakeAccessibilityBus::node(const AccessibleRef& ref) const {
    std::lock_guard lock(m_mutex);
    return m_nodes.value(ref);
}

int FakeAccessibilityBus::reads() const {
    std::lock_guard lock(m_mutex);
    return m_reads;
}

int FakeAccessibilityBus::waits() const {
    std::lock_guard lock(m_mutex);
    return m_waits;
}

QHash<AccessibleRef, int> FakeAccessibilityBus::stateReads() const {
    std::lock_guard lock(m_mutex);
    return m_stateReads;
}

void FakeAccessibilityBus::removeApplication(qint32 pid) {
    std::lock_guard lock(m_mutex);
    const AccessibleRef root = m_applications.take(pid);
    for (auto it = m_nodes.begin(); it != m_nodes.end();) {
        if (it.key().service == root.service)
            it = m_nodes.erase(it);
        else
            ++it;
    }
}

const FakeAccessibilityBus::Node* FakeAccessibilityBus::find(const AccessibleRef& ref) const {
    ++m_waits;
    return findInBatch(ref);
}

const FakeAccessibilityBus::Node* FakeAccessibilityBus::findInBatch(const AccessibleRef& ref) const {
    ++m_reads;
    const auto it = m_nodes.constFind(ref);
    return it == m_nodes.constEnd() ? nullptr : &it.value();
}

std::optional<AccessibleRef> FakeAccessibilityBus::application(qint32 pid) {
    std::lock_guard lock(m_mutex);
    ++m_reads;
    ++m_waits;
    if (const auto it = m_applications.constFind(pid); it != m_applications.constEnd())
        return it.value();
    return std::nullopt;
}

QList<AccessibleRef> FakeAccessibilityBus::children(const AccessibleRef& object, int limit) {
    std::lock_guard lock(m_mutex);
    const Node* node = find(object);
    if (!node || limit <= 0)
        return {};
    return node->children.mid(0, limit);
}

std::optional<int> FakeAccessibilityBus::childCount(const AccessibleRef& object) {
    std::lock_guard lock(m_mutex);
    const Node* node = find(object);
    return node ? std::optional<int>(int(node->children.size())) : std::nullopt;
}

std::optional<AccessibleRef> FakeAccessibilityBus::parent(const AccessibleRef& object) {
    return field(object, &Node::parent);
}

std::optional<quint32> FakeAccessibilityBus::role(const AccessibleRef& object) {
    std::lock_guard lock(m_mutex);
    const Node* node = find(object);
    return node ? std::optional<quint32>(node->role) : std::nullopt;
}

QString FakeAccessibilityBus::roleName(const AccessibleRef& object) {
    std::lock_guard lock(m_mutex);
    const Node* node = find(object);
    return node ? node->roleName : QString();
}

std::optional<platform::AccessibleStates> FakeAccessibilityBus::states(const AccessibleRef& object) {
    std::lock_guard lock(m_mutex);
    m_stateReads[object] += 1;
    const Node* node = find(object);
    return node ? node->states : std::nullopt;
}

std::optional<QString> FakeAccessibilityBus::name(const AccessibleRef& object) {
    return field(object, &Node::name);
}

std::optional<QString> FakeAccessibilityBus::description(const AccessibleRef& object) {
    return field(object, &Node::description);
}

std::optional<QString> FakeAccessibilityBus::text(const AccessibleRef& object, int limit) {
    std::lock_guard lock(m_mutex);
    const Node* node = find(object);
    if (!node || !node->text)
        return std::nullopt;
    return limit < 0 ? *node->text : node->text->left(limit);
}

std::optional<QRect> FakeAccessibilityBus::extents(const AccessibleRef& object) {
    return field(object, &Node::extents);
}

std::optional<QHash<QString, QString>> FakeAccessibilityBus::attributes(const AccessibleRef& object) {
    return field(object, &Node::attributes);
}

std::optional<QHash<QString, QString>> FakeAccessibilityBus::documentAttributes(const AccessibleRef& object) {
    return field(object, &Node::documentAttributes);
}

std::optional<QStringList> FakeAccessibilityBus::actionNames(const AccessibleRef& object) {
    return field(object, &Node::actions);
}

std::optional<bool> FakeAccessibilityBus::doAction(const AccessibleRef& object, int index) {
    std::lock_guard lock(m_mutex);
    ++m_reads;
    ++m_waits;
    auto it = m_nodes.find(object);
    if (it == m_nodes.end() || !it->actions || index < 0 || index >= it->actions->size())
        return std::nullopt;
    if (it->actionResult == true)
        it->actionsRun += 1;
    return it->actionResult;
}

QList<platform::AccessibleFacts> FakeAccessibilityBus::facts(const QList<platform::FactsRead>& reads) {
    namespace fact = platform::fact;
    std::lock_guard lock(m_mutex);
    if (!reads.isEmpty())
        ++m_waits;
    QList<platform::AccessibleFacts> answers;
    for (const auto& [object, wanted] : reads) {
        platform::AccessibleFacts answer;
        // Each fact is a read of its own, as each is a message of its own on the bus.
        for (const quint32 bit :
             {fact::states, fact::role, fact::extents, fact::name, fact::description, fact::childCount}) {
            if (!(wanted & bit))
                continue;
            if (bit == fact::states)
                m_stateReads[object] += 1;
            const Node* node = findInBatch(object);
            if (!node)
                continue;
            if (bit == fact::states)
                answer.states = node->states;
            else if (bit == fact::role)
                answer.role = node->role;
            else if (bit == fact::extents)
                answer.extents = node->extents;
            else if (bit == fact::name)
                answer.name = node->name;
            else if (bit == fact::description)
                answer.description = node->description;
            else
                answer.childCount = int(node->children.size());
        }
        answers.append(answer);
    }
    return answers;
}

QList<QList<AccessibleRef>> FakeAccessibilityBus::children(const QList<platform::ChildrenRead>& reads) {
    std::lock_guard lock(m_mutex);
    QList<QList<AccessibleRef>> answers;
    for (const platform::ChildrenRead& read : reads) {
        const Node* node = read.count > 0 && read.limit > 0 ? findInBatch(read.object) : nullptr;
        answers.append(node ? node->children.mid(0, read.limit) : QList<AccessibleRef>());
    }
    if (std::any_of(reads.begin(), reads.end(), [](const auto& read) { return read.count > 0 && read.limit > 0; }))
        ++m_waits;
    return answers;
}

} // namespace tavrine::test

#include "tavrine/capture/ElementReader.h"

#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"
#include "tavrine/model/PageAddress.h"

#include <QSet>

#include <algorithm>

namespace tavrine::capture {

namespace fact = platform::fact;
namespace role = platform::role;
namespace state = platform::state;

namespace {
constexpr int ancestorSteps = 12;

// Copies the facts named by `bits` from `from`.
void takeFacts(platform::AccessibleFacts& into, const platform::AccessibleFacts& from, quint32 bits) {
    if (bits & fact::states)
        into.states = from.states;
    if (bits & fact::role)
        into.role = from.role;
    if (bits & fact::extents)
        into.extents = from.extents;
    if (bits & fact::name)
        into.name = from.name;
    if (bits & fact::description)
        into.description = from.description;
    if (bits & fact::childCount)
        into.childCount = from.childCount;
}

} // namespace

const std::atomic<bool>& ElementReader::neverCancelled() {
    static const std::atomic<bool> never{false};
    return never;
}

const platform::AccessibleFacts& ElementReader::facts(const AccessibleRef& element, quint32 wanted) {
    readAhead({element}, wanted);
    return m_known[element].facts;
}

std::optional<platform::AccessibleStates> ElementReader::states(const AccessibleRef& element) {
    return facts(element, fact::states).states;
}

std::optional<quint32> ElementReader::role(const AccessibleRef& element) {
    return facts(element, fact::role).role;
}

std::optional<int> ElementReader::childCount(const AccessibleRef& element) {
    return facts(element, fact::childCount).childCount;
}

void ElementReader::readAhead(const QList<AccessibleRef>& elements, quint32 wanted) {
    QList<platform::FactsRead> reads;
    QSet<AccessibleRef> seen;
    for (const AccessibleRef& element : elements) {
        if (seen.contains(element))
            continue;
        seen.insert(element);
        const auto known = m_known.constFind(element);
        const quint32 missing = wanted & ~(known == m_known.constEnd() ? 0U : known->asked);
        if (missing)
            reads.append({element, missing});
    }
    if (reads.isEmpty() || cancelled())
        return;
    const QList<platform::AccessibleFacts> answers = m_bus.facts(reads);
    for (qsizetype i = 0; i < reads.size() && i < answers.size(); ++i) {
        Known& known = m_known[reads.at(i).object];
        takeFacts(known.facts, answers.at(i), reads.at(i).wanted);
        known.asked |= reads.at(i).wanted;
    }
}

QList<AccessibleRef> ElementReader::readChildrenAhead(const QList<AccessibleRef>& elements, int limit) {
    QList<platform::ChildrenRead> reads;
    QSet<AccessibleRef> seen;
    for (const AccessibleRef& element : elements) {
        const auto known = m_known.constFind(element);
        if (known == m_known.constEnd() || seen.contains(element) || known->children)
            continue;
        seen.insert(element);
        // A container with more children than the limit is read at its turn, as far as that turn can use.
        const std::optional<int> count = known->facts.childCount;
        if (count && *count > 0 && *count <= limit)
            reads.append({element, *count, limit});
    }
    if (!reads.isEmpty() && !cancelled()) {
        const QList<QList<AccessibleRef>> answers = m_bus.children(reads);
        for (qsizetype i = 0; i < reads.size() && i < answers.size(); ++i) {
            Known& known = m_known[reads.at(i).object];
            known.children = answers.at(i);
            known.childrenLimit = limit;
        }
    }
    QList<AccessibleRef> children;
    for (const AccessibleRef& element : elements) {
        if (const auto known = m_known.constFind(element); known != m_known.constEnd() && known->children)
            children.append(known->children->mid(0, limit));
    }
    return children;
}

void ElementReader::readTreeAhead(const QList<AccessibleRef>& children, int room, int limit, const Lookahead& how,
                                  const QSet<AccessibleRef>& skip) {
    QList<AccessibleRef> level = children;
    for (int depth = 1; depth <= lookaheadLevels && !level.isEmpty() && room > 0 && limit > 0; ++depth) {
        QList<AccessibleRef> unvisited;
        for (const AccessibleRef& element : level) {
            if (!skip.contains(element) && unvisited.size() < room)
                unvisited.append(element);
        }
        readAhead(unvisited, fact::states);
        QList<AccessibleRef> taken;
        for (const AccessibleRef& element : unvisited) {
            if (how.takes(states(element)))
                taken.append(element);
        }
        readAhead(taken, how.takenFacts);
        // The look gets to an element only after those before it on its level and the children of those it went
        // into: past its room, what it would go into is never got to.
        QList<AccessibleRef> entered;
        int before = 0;
        for (const AccessibleRef& element : unvisited) {
            if (before >= room)
                break;
            before += 1;
            if (taken.contains(element) && how.entersInto(element)) {
                entered.append(element);
                before += std::max(facts(element, 0).childCount.value_or(0), 0);
            }
        }
        level = readChildrenAhead(entered, limit);
        // An element a level further down is taken in after its parent.
        room -= 1;
        limit -= 1;
    }
}

void ElementReader::startWalk() {
    // A later walk looks again because the window may have changed meanwhile (a browser building its page).
    if (m_walked) {
        m_known.clear();
        m_documentNamedAddress = false;
    }
    m_walked = true;
}

bool ElementReader::isPrunedRole(quint32 value) {
    return value == role::passwordText || value == role::pageTab || value == role::toolBar || value == role::menuBar;
}

bool ElementReader::carriesTextValue(quint32 value) {
    switch (value) {
    case role::text:
    case role::entry:
    case role::paragraph:
    case role::heading:
    case role::staticText:
    case role::label:
    case role::caption:
    case role::link:
    case role::listItem:
    case role::tableCell:
        return true;
    default:
        return false;
    }
}

std::optional<QRectF> ElementReader::elementFrame(const AccessibleRef& element) {
    const auto extents = facts(element, fact::extents).extents;
    if (!extents || extents->width() <= 0 || extents->height() <= 0)
        return std::nullopt;
    return QRectF(*extents);
}

bool ElementReader::isWebAddress(const QString& address) {
    // A tree writes a page's scheme: text without one is a path or a name, never a page.
    const QString trimmed = text::trimmed(address);
    return (trimmed.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
            trimmed.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) &&
           normalizedHost(trimmed).has_value();
}

std::optional<QHash<QString, QString>> ElementReader::documentAttributes(const AccessibleRef& element) {
    if (cancelled())
        return std::nullopt;
    Known& known = m_known[element];
    if (!known.document)
        known.document = m_bus.documentAttributes(element);
    return *known.document;
}

QString ElementReader::elementURL(const AccessibleRef& element) {
    const auto attributes = documentAttributes(element);
    if (!attributes)
        return {};
    if (!attributes->value(QStringLiteral("DocURL")).isEmpty() || !attributes->value(QStringLiteral("URI")).isEmpty())
        m_documentNamedAddress = true;
    // Only a web address is a page's address. Any other (a file, a mail folder, about:, data:) names what lies
    // on this computer, the user's folders and name among it, and never leaves it.
    for (const QString& key : {QStringLiteral("DocURL"), QStringLiteral("URI")}) {
        if (const QString url = attributes->value(key); isWebAddress(url))
            return text::graphemePrefix(url, evidenceLimit::pageAddress);
    }
    return {};
}

QList<AccessibleRef> ElementReader::visibleChildren(const AccessibleRef& element, int limit) {
    if (limit <= 0)
        return {};
    const std::optional<int> count = facts(element, fact::childCount).childCount;
    if (!count || *count <= 0)
        return {};
    Known& known = m_known[element];
    if (cancelled())
        return known.children.value_or(QList<AccessibleRef>()).mid(0, limit);
    // Children read with a larger limit, or all of them, answer for a smaller limit.
    if (known.children && (limit <= known.childrenLimit || *count <= known.childrenLimit))
        return known.children->mid(0, limit);
    known.children = m_bus.children(QList<platform::ChildrenRead>{{element, *count, limit}}).value(0);
    known.childrenLimit = limit;
    return *known.children;
}

QString ElementReader::elementLabel(const AccessibleRef& element, std::optional<quint32> knownRole) {
    const auto usable = [](const std::optional<QString>& text) { return text && !text::trimmed(*text).isEmpty(); };
    if (const auto name = facts(element, fact::name).name; usable(name))
        return text::collapseWhitespace(*name);
    if (const auto description = facts(element, fact::description).description; usable(description))
        return text::collapseWhitespace(*description);
    const auto elementRole = knownRole ? knownRole : role(element);
    if (!elementRole || !carriesTextValue(*elementRole))
        return {};
    if (const auto value = text(element); usable(value))
        return text::collapseWhitespace(*value);
    return {};
}

std::optional<QString> ElementReader::text(const AccessibleRef& element, int limit) {
    return cancelled() ? std::nullopt : m_bus.text(element, limit);
}

QString ElementReader::readFocusedDescription(const AccessibleRef& element, const QString& appName) {
    const auto elementRole = role(element);
    if (elementRole == role::passwordText)
        return {};
    const QString value = text(element).value_or(QString());
    const auto attributes = cancelled() ? std::nullopt : m_bus.attributes(element);
    const QString placeholder = attributes ? attributes->value(QStringLiteral("placeholder-text")) : QString();
    return focusedValueText(value, placeholder, appName);
}

QStringList ElementReader::ancestorLabels(const AccessibleRef& element, const QString& appName,
                                          const QString& windowTitle) {
    // The application's frame carries the window title as its label: as the subject it would be dropped from the
    // evidence for equalling the title, and hide the page's headings behind it.
    const QString title = text::collapseWhitespace(windowTitle).toLower();
    QStringList labels;
    AccessibleRef current = element;
    for (int step = 0; step < ancestorSteps; ++step) {
        const auto parent = cancelled() ? std::nullopt : m_bus.parent(current);
        // The application's own tree ends at its root; above it lies the desktop of another process.
        if (!parent || parent->service != element.service)
            break;
        current = *parent;
        // What the label takes, read at once.
        readAhead({current}, fact::role | fact::name | fact::description);
        const auto ancestorRole = role(current);
        // An application's and a frame's labels name the program or the window, never what is worked on; a folder
        // view's label names its kind of view ("Icon view", "Details view"), never the folder.
        if (ancestorRole && (isPrunedRole(*ancestorRole) || *ancestorRole == role::application ||
                             *ancestorRole == role::frame || *ancestorRole == role::directoryPane))
            continue;
        const QString label = elementLabel(current, ancestorRole);
        if (isUsefulLabel(label, appName) && (title.isEmpty() || label.toLower() != title))
            labels.append(label);
    }
    return labels;
}

std::optional<AccessibleRef> ElementReader::windowElement(const AccessibleRef& application, const QString& title) {
    std::optional<AccessibleRef> named;
    std::optional<AccessibleRef> active;
    const QList<AccessibleRef> windows = cancelled() ? QList<AccessibleRef>() : m_bus.children(application, 64);
    readAhead(windows, fact::states | fact::name);
    for (const AccessibleRef& window : windows) {
        const auto windowStates = states(window);
        const bool isActive = windowStates && windowStates->has(state::active);
        const bool sameTitle = facts(window, fact::name).name.value_or(QString()) == title;
        if (isActive && sameTitle)
            return window;
        if (sameTitle && !named)
            named = window;
        if (isActive && !active)
            active = window;
    }
    return named ? named : active;
}

std::optional<AccessibleRef> ElementReader::focusedElement(const AccessibleRef& window, int nodeLimit, double deadline,
                                                           const std::function<double()>& uptime,
                                                           const std::atomic<bool>& cancelled) {
    // What the search reads of the elements below one when it gets to them: the states of each, and of those that
    // show (and hold no focus), their children.
    const Lookahead searched{[](const std::optional<platform::AccessibleStates>& states) {
                                 return states && states->has(state::showing) && !states->has(state::focused);
                             },
                             fact::childCount, [](const AccessibleRef&) { return true; }};
    QList<AccessibleRef> stack{window};
    // Qt marks the current tab of every tab bar as focused, wherever the keyboard focus is: a focused tab counts
    // only when no other element holds the focus.
    std::optional<AccessibleRef> focusedTab;
    int visited = 0;
    while (!stack.isEmpty() && visited < nodeLimit && !cancelled.load() && uptime() < deadline) {
        const AccessibleRef element = stack.takeLast();
        ++visited;
        const auto elementStates = states(element);
        if (!elementStates || !elementStates->has(state::showing))
            continue;
        if (element != window && elementStates->has(state::focused)) {
            if (role(element) != role::pageTab)
                return element;
            if (!focusedTab)
                focusedTab = element;
            continue;
        }
        const QList<AccessibleRef> children = visibleChildren(element, nodeLimit - visited);
        readTreeAhead(children, nodeLimit - visited, nodeLimit - visited - 1, searched);
        // Depth-first in the application's order: push the last child first.
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            stack.append(*it);
    }
    return focusedTab;
}

} // namespace tavrine::capture

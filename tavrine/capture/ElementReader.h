#pragma once

#include "tavrine/platform/AccessibilityBus.h"

#include <QHash>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

namespace tavrine::capture {

using platform::AccessibleRef;

// The element reads of a capture over the accessibility bus, in the capture's own terms. Every read that fails
// or yields nothing counts as a missing value. Runs on the capture's worker thread.
//
// A reader remembers the states, roles, areas, names, descriptions, children and documents it read, so that no
// element is asked the same twice within one look at a window, and it can read them ahead for many elements in one
// batch (a wait for one round trip instead of one per element). The search for the focused element, the walk just
// after it and the search for the address field share what they read; a later walk (another attempt, while a
// browser builds its page) asks afresh.
//
// Once `cancelled` is set, the reader sends nothing more: what it did not read by then counts as missing, so that a
// look at a window ends within the batch that was on its way.
class ElementReader {
public:
    explicit ElementReader(platform::AccessibilityBus& bus, const std::atomic<bool>& cancelled = neverCancelled())
        : m_bus(bus), m_cancelled(cancelled) {}

    platform::AccessibilityBus& bus() { return m_bus; }
    bool cancelled() const { return m_cancelled.load(); }

    std::optional<platform::AccessibleStates> states(const AccessibleRef& element);
    std::optional<quint32> role(const AccessibleRef& element);
    std::optional<int> childCount(const AccessibleRef& element);
    // Reads the `wanted` facts (bits of platform::fact) of those `elements` that were not read yet, in one batch.
    void readAhead(const QList<AccessibleRef>& elements, quint32 wanted);
    // Reads the first `limit` children of those `elements` that are known to have between 1 and `limit` children and
    // whose children were not read yet, in one batch. Answers the children of all `elements` known by then, in
    // order.
    QList<AccessibleRef> readChildrenAhead(const QList<AccessibleRef>& elements, int limit);

    // How a look at a window goes below an element: which elements it takes in (by their states), what it reads of
    // those, and which of them it goes into.
    struct Lookahead {
        std::function<bool(const std::optional<platform::AccessibleStates>&)> takes;
        quint32 takenFacts = 0;
        std::function<bool(const AccessibleRef&)> entersInto;
    };
    // Reads ahead, level by level from `children`, what a look at the window will read of the elements below an
    // element: each level's states in one batch, the facts of those it takes in in another, the children of those it
    // goes into in a third. `room` elements at most, none of `skip`, `lookaheadLevels` levels deep; `limit`: the
    // most children a child of the element can have read.
    void readTreeAhead(const QList<AccessibleRef>& children, int room, int limit, const Lookahead& how,
                       const QSet<AccessibleRef>& skip = {});
    // How many levels below an element are read ahead at once: enough for a tool bar's items and their buttons, a
    // list's rows and their cells, without reading far beyond what a look that stops at its limit gets to.
    static constexpr int lookaheadLevels = 2;

    // A walk begins: the first keeps what was read before it, a later one forgets it.
    void startWalk();

    // The element's area when it has a width and a height above 0.
    std::optional<QRectF> elementFrame(const AccessibleRef& element);
    // The Document interface's attributes of the element; none when it has no document or they cannot be read.
    std::optional<QHash<QString, QString>> documentAttributes(const AccessibleRef& element);
    // The page address of a document: the first of its DocURL and its URI that is a web address; "" when none.
    QString elementURL(const AccessibleRef& element);
    // Whether a document read by elementURL since the walk began named an address of any kind: its page then has
    // that address, a web address or not.
    bool documentNamedAddress() const { return m_documentNamedAddress; }
    // The element's children, at most `limit` of them.
    QList<AccessibleRef> visibleChildren(const AccessibleRef& element, int limit);
    // The first of the name, the description and the text value that is not blank, whitespace collapsed; ""
    // when none.
    QString elementLabel(const AccessibleRef& element, std::optional<quint32> knownRole = std::nullopt);
    // The Text interface's content, at most `limit` characters.
    std::optional<QString> text(const AccessibleRef& element, int limit = textReadLimit);
    // The focused element's value as evidence (empty for a password field or a bare placeholder).
    QString readFocusedDescription(const AccessibleRef& element, const QString& appName);
    // Useful labels of the element's ancestors, nearest first, at most 12 levels up, within its application;
    // a label that is the window title (collapsed, ignoring case), and the labels of the application, frame and
    // folder-view elements, are left out.
    QStringList ancestorLabels(const AccessibleRef& element, const QString& appName, const QString& windowTitle = {});

    // The application's top-level element that shows the window titled `title`: an active one with that
    // name, else one with that name, else the active one. None when the application shows no tree.
    std::optional<AccessibleRef> windowElement(const AccessibleRef& application, const QString& title);
    // The focused element below `window`: a depth-first search of the showing elements, at most `nodeLimit`
    // elements and until `deadline` (seconds of `uptime`). A focused page tab is taken only when nothing else
    // is focused.
    std::optional<AccessibleRef> focusedElement(const AccessibleRef& window, int nodeLimit, double deadline,
                                                const std::function<double()>& uptime,
                                                const std::atomic<bool>& cancelled);

    // Roles whose subtree a capture never reads: password fields, page tabs (other tabs' titles), tool bars and
    // menu bars.
    static bool isPrunedRole(quint32 role);
    // Roles whose text value can stand for a label.
    static bool carriesTextValue(quint32 role);
    // Whether a document's address is a web address: an http or https scheme, written out, and a host.
    static bool isWebAddress(const QString& address);

    // The longest text value a label or focused-value read takes.
    static constexpr int textReadLimit = 1024;

private:
    struct Known {
        // The facts asked (bits of platform::fact), read or unreadable.
        quint32 asked = 0;
        platform::AccessibleFacts facts;
        std::optional<QList<AccessibleRef>> children;
        // The limit the children were read with.
        int childrenLimit = 0;
        // The document attributes, once asked.
        std::optional<std::optional<QHash<QString, QString>>> document;
    };
    // The element's facts, each read on its own where it was not read yet.
    const platform::AccessibleFacts& facts(const AccessibleRef& element, quint32 wanted);
    static const std::atomic<bool>& neverCancelled();

    platform::AccessibilityBus& m_bus;
    const std::atomic<bool>& m_cancelled;
    QHash<AccessibleRef, Known> m_known;
    bool m_walked = false;
    bool m_documentNamedAddress = false;
};

} // namespace tavrine::capture

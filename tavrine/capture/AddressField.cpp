#include "tavrine/capture/AddressField.h"

#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"

#include <QList>

#include <algorithm>
#include <limits>

namespace tavrine::capture {

namespace fact = platform::fact;
namespace role = platform::role;
namespace state = platform::state;

namespace {

// Roles the search does not go into: a page (its own fields are never the browser's), a password field, a menu
// bar, and the fields themselves.
bool endsSearch(quint32 value) {
    return value == role::documentWeb || value == role::passwordText || value == role::menuBar || value == role::text ||
           value == role::entry;
}

} // namespace

bool AddressField::isCut(const QString& address) {
    // "…", "‥" and "⋯", or the dots written out: no address a browser shows holds two dots in a row (it resolves
    // "/../" before it shows a path).
    return address.contains(QChar(0x2026)) || address.contains(QChar(0x2025)) || address.contains(QChar(0x22EF)) ||
           address.contains(QLatin1String(".."));
}

QString AddressField::read(const AccessibleRef& window, double deadline, const std::function<double()>& uptime) {
    // The page has an address of its own (a file, a new tab): the field shows that one, never a web address.
    if (m_reader.documentNamedAddress())
        return {};
    // What the search reads of the window, at once (a capture's walk has read it already).
    m_reader.readAhead({window}, fact::states | fact::role | fact::extents | fact::childCount);
    const std::optional<QRectF> windowFrame = m_reader.elementFrame(window);
    if (!windowFrame)
        return {};
    const double areaBottom = windowFrame->top() + windowFrame->height() * toolbarShare;
    struct Field {
        AccessibleRef element;
        QRectF frame;
    };
    QList<Field> fields;
    // What the search reads of the elements below one when it gets to them: the states of each, the role and the
    // children's count of those that show, and the children of those it goes into.
    const ElementReader::Lookahead searched{
        [](const std::optional<platform::AccessibleStates>& states) { return !states || states->has(state::showing); },
        fact::role | fact::childCount,
        [this](const AccessibleRef& element) { return !endsSearch(m_reader.role(element).value_or(0)); }};
    // A field below the top of a page lies over the page (a find bar), not in the bar above it.
    double documentTop = std::numeric_limits<double>::infinity();
    QList<AccessibleRef> stack{window};
    int visited = 0;
    while (!stack.isEmpty() && visited < searchNodes && !m_reader.cancelled() && uptime() < deadline) {
        const AccessibleRef element = stack.takeLast();
        ++visited;
        const auto states = m_reader.states(element);
        if (states && !states->has(state::showing))
            continue;
        const quint32 elementRole = m_reader.role(element).value_or(0);
        if (elementRole == role::documentWeb) {
            // The page's own fields (a search form at its top) are never the browser's address field.
            if (const auto page = m_reader.elementFrame(element))
                documentTop = std::min(documentTop, page->top());
            continue;
        }
        if (elementRole == role::text || elementRole == role::entry) {
            const auto frame = states && states->has(state::editable) ? m_reader.elementFrame(element) : std::nullopt;
            if (frame && frame->intersects(*windowFrame) && frame->top() < areaBottom)
                fields.append({element, *frame});
            continue;
        }
        if (endsSearch(elementRole))
            continue;
        const QList<AccessibleRef> children = m_reader.visibleChildren(element, searchNodes - visited);
        m_reader.readTreeAhead(children, searchNodes - visited, searchNodes - visited - 1, searched);
        // Depth first, in the application's order: the fields in the order a reader meets them.
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            stack.append(*it);
    }
    for (const Field& field : fields) {
        if (field.frame.bottom() > documentTop)
            continue;
        // What the field holds is what the user sees; only a web address in it is a page's, and only a whole one.
        const QString value = text::trimmed(m_reader.text(field.element).value_or(QString()));
        if (!ElementReader::isWebAddress(value))
            continue;
        return isCut(value) ? QString() : text::graphemePrefix(value, evidenceLimit::pageAddress);
    }
    return {};
}

} // namespace tavrine::capture

#include "tavrine/capture/AddressField.h"

#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"

#include <QList>

#include <algorithm>
#include <limits>

namespace tavrine::capture {

namespace role = platform::role;
namespace state = platform::state;

QString AddressField::read(const AccessibleRef& window, double deadline, const std::function<double()>& uptime) {
    // The page has an address of its own (a file, a new tab): the field shows that one, never a web address.
    if (m_reader.documentNamedAddress())
        return {};
    auto& bus = m_reader.bus();
    const std::optional<QRectF> windowFrame = m_reader.elementFrame(window);
    if (!windowFrame)
        return {};
    const double areaBottom = windowFrame->top() + windowFrame->height() * toolbarShare;
    struct Field {
        AccessibleRef element;
        QRectF frame;
    };
    QList<Field> fields;
    // A field below the top of a page lies over the page (a find bar), not in the bar above it.
    double documentTop = std::numeric_limits<double>::infinity();
    QList<AccessibleRef> stack{window};
    int visited = 0;
    while (!stack.isEmpty() && visited < searchNodes && uptime() < deadline) {
        const AccessibleRef element = stack.takeLast();
        ++visited;
        const auto states = bus.states(element);
        if (states && !states->has(state::showing))
            continue;
        const quint32 elementRole = bus.role(element).value_or(0);
        if (elementRole == role::documentWeb) {
            // The page's own fields (a search form at its top) are never the browser's address field.
            if (const auto page = m_reader.elementFrame(element))
                documentTop = std::min(documentTop, page->top());
            continue;
        }
        if (elementRole == role::passwordText || elementRole == role::menuBar)
            continue;
        if (elementRole == role::text || elementRole == role::entry) {
            const auto frame = states && states->has(state::editable) ? m_reader.elementFrame(element) : std::nullopt;
            if (frame && frame->intersects(*windowFrame) && frame->top() < areaBottom)
                fields.append({element, *frame});
            continue;
        }
        const QList<AccessibleRef> children = m_reader.visibleChildren(element, searchNodes - visited);
        // Depth first, in the application's order: the fields in the order a reader meets them.
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            stack.append(*it);
    }
    for (const Field& field : fields) {
        if (field.frame.bottom() > documentTop)
            continue;
        // What the field holds is what the user sees; only a web address in it is a page's.
        if (const QString value =
                text::trimmed(bus.text(field.element, ElementReader::textReadLimit).value_or(QString()));
            ElementReader::isWebAddress(value))
            return text::graphemePrefix(value, evidenceLimit::pageAddress);
    }
    return {};
}

} // namespace tavrine::capture

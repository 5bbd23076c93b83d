#include "tavrine/capture/ElementReader.h"

#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"
#include "tavrine/model/PageAddress.h"

namespace tavrine::capture {

namespace role = platform::role;
namespace state = platform::state;

namespace {
constexpr int ancestorSteps = 12;
} // namespace

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
    const auto extents = m_bus.extents(element);
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

QString ElementReader::elementURL(const AccessibleRef& element) {
    const auto attributes = m_bus.documentAttributes(element);
    if (!attributes)
        return {};
    // Only a web address is a page's address. Any other (a file, a mail folder, about:, data:) names what lies
    // on this computer, the user's folders and name among it, and never leaves it.
    for (const QString& key : {QStringLiteral("DocURL"), QStringLiteral("URI")}) {
        if (const QString url = attributes->value(key); isWebAddress(url))
            return text::graphemePrefix(url, evidenceLimit::pageAddress);
    }
    return {};
}

QList<AccessibleRef> ElementReader::visibleChildren(const AccessibleRef& element, int limit) {
    return m_bus.children(element, limit);
}

QString ElementReader::elementLabel(const AccessibleRef& element, std::optional<quint32> knownRole) {
    const auto usable = [](const std::optional<QString>& text) { return text && !text::trimmed(*text).isEmpty(); };
    if (const auto name = m_bus.name(element); usable(name))
        return text::collapseWhitespace(*name);
    if (const auto description = m_bus.description(element); usable(description))
        return text::collapseWhitespace(*description);
    const auto elementRole = knownRole ? knownRole : m_bus.role(element);
    if (!elementRole || !carriesTextValue(*elementRole))
        return {};
    if (const auto value = m_bus.text(element, textReadLimit); usable(value))
        return text::collapseWhitespace(*value);
    return {};
}

QString ElementReader::readFocusedDescription(const AccessibleRef& element, const QString& appName) {
    const auto elementRole = m_bus.role(element);
    if (elementRole == role::passwordText)
        return {};
    const QString value = m_bus.text(element, textReadLimit).value_or(QString());
    const auto attributes = m_bus.attributes(element);
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
        const auto parent = m_bus.parent(current);
        // The application's own tree ends at its root; above it lies the desktop of another process.
        if (!parent || parent->service != element.service)
            break;
        current = *parent;
        const auto ancestorRole = m_bus.role(current);
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
    for (const AccessibleRef& window : m_bus.children(application, 64)) {
        const auto states = m_bus.states(window);
        const bool isActive = states && states->has(state::active);
        const bool sameTitle = m_bus.name(window).value_or(QString()) == title;
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
    QList<AccessibleRef> stack{window};
    // Qt marks the current tab of every tab bar as focused, wherever the keyboard focus is: a focused tab counts
    // only when no other element holds the focus.
    std::optional<AccessibleRef> focusedTab;
    int visited = 0;
    while (!stack.isEmpty() && visited < nodeLimit && !cancelled.load() && uptime() < deadline) {
        const AccessibleRef element = stack.takeLast();
        ++visited;
        const auto states = m_bus.states(element);
        if (!states || !states->has(state::showing))
            continue;
        if (element != window && states->has(state::focused)) {
            if (m_bus.role(element) != role::pageTab)
                return element;
            if (!focusedTab)
                focusedTab = element;
            continue;
        }
        const QList<AccessibleRef> children = m_bus.children(element, nodeLimit - visited);
        // Depth-first in the application's order: push the last child first.
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            stack.append(*it);
    }
    return focusedTab;
}

} // namespace tavrine::capture

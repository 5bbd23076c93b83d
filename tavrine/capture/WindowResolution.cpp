#include "tavrine/capture/WindowResolution.h"

#include "tavrine/capture/AddressField.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"

#include <algorithm>

namespace tavrine::capture {

namespace fact = platform::fact;

namespace {
constexpr int pageSearchNodes = 300;
constexpr int pageSearchChildDepth = 29;
constexpr double pageSearchSeconds = 0.3;
} // namespace

ResolvedWindow resolveWindowIdentity(platform::Workspace& workspace, qint32 pid) {
    std::optional<platform::WindowInfo> focused;
    if (const auto active = workspace.activeWindow()) {
        if (auto info = workspace.window(*active); info && info->pid == pid)
            focused = info;
    }
    if (!focused) {
        for (const platform::WindowInfo& window : workspace.windows(pid)) {
            if (window.onScreen) {
                focused = window;
                break;
            }
        }
    }
    if (!focused)
        return {};
    ResolvedWindow resolved;
    resolved.title = text::graphemePrefix(focused->title, evidenceLimit::title);
    resolved.windowID = focused->id;
    if (!focused->frame.isEmpty())
        resolved.frame = QRectF(focused->frame);
    return resolved;
}

QString pageURL(ElementReader& reader, const AccessibleRef& window, const std::function<double()>& uptime) {
    if (const QString document = reader.elementURL(window); !document.isEmpty())
        return document;
    const double deadline = uptime() + pageSearchSeconds;
    struct Entry {
        AccessibleRef element;
        int depth;
    };
    // Tool bars, menu bars, password fields and page tabs are passed over with all below them, but for the selected
    // page tab, which holds the page on show.
    const auto passedOver = [&](const AccessibleRef& element) {
        const auto elementRole = reader.role(element);
        if (!elementRole || !ElementReader::isPrunedRole(*elementRole))
            return false;
        const auto states = reader.states(element);
        return !(*elementRole == platform::role::pageTab && states && states->has(platform::state::selected));
    };
    QList<Entry> queue{{window, 0}};
    // The entries before this one were read ahead.
    qsizetype readUpTo = 0;
    for (qsizetype index = 0; index < queue.size() && index < pageSearchNodes; ++index) {
        if (reader.cancelled() || !(uptime() < deadline))
            break;
        if (index >= readUpTo) {
            // The rest of the queue, the next level of the tree, read at once as far as the search can get: the
            // roles of its elements in one batch (and the states of its page tabs), the children of those it goes
            // into in another.
            readUpTo = std::min<qsizetype>(queue.size(), pageSearchNodes);
            QList<AccessibleRef> level;
            for (qsizetype i = index; i < readUpTo; ++i)
                level.append(queue.at(i).element);
            reader.readAhead(level, fact::role | fact::childCount);
            level.removeIf(
                [&](const AccessibleRef& element) { return reader.role(element) != platform::role::pageTab; });
            reader.readAhead(level, fact::states);
            QList<AccessibleRef> parents;
            qsizetype queued = queue.size();
            for (qsizetype i = index; i < readUpTo && queued < pageSearchNodes; ++i) {
                if (queue.at(i).depth > pageSearchChildDepth || passedOver(queue.at(i).element))
                    continue;
                parents.append(queue.at(i).element);
                queued += std::max(reader.childCount(queue.at(i).element).value_or(0), 0);
            }
            reader.readChildrenAhead(parents, pageSearchNodes);
        }
        const Entry entry = queue.at(index);
        if (passedOver(entry.element))
            continue;
        if (reader.role(entry.element) == platform::role::documentWeb) {
            if (const QString url = reader.elementURL(entry.element); !url.isEmpty())
                return url;
        }
        // Children queued past the search's limit would never be got to.
        if (entry.depth <= pageSearchChildDepth && queue.size() < pageSearchNodes) {
            for (const AccessibleRef& child : reader.visibleChildren(entry.element, pageSearchNodes))
                queue.append({child, entry.depth + 1});
        }
    }
    return AddressField(reader).read(window, uptime() + AddressField::searchSeconds, uptime);
}

} // namespace tavrine::capture

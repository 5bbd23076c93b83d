#include "tavrine/capture/WindowResolution.h"

#include "tavrine/capture/AddressField.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"

namespace tavrine::capture {

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
    auto& bus = reader.bus();
    if (const QString document = reader.elementURL(window); !document.isEmpty())
        return document;
    const double deadline = uptime() + pageSearchSeconds;
    struct Entry {
        AccessibleRef element;
        int depth;
    };
    QList<Entry> queue{{window, 0}};
    for (qsizetype index = 0; index < queue.size(); ++index) {
        if (!(uptime() < deadline))
            break;
        const Entry entry = queue.at(index);
        const auto elementRole = bus.role(entry.element);
        // The selected page tab holds the page on show.
        const bool selectedTab = elementRole == platform::role::pageTab && [&] {
            const auto states = bus.states(entry.element);
            return states && states->has(platform::state::selected);
        }();
        if (elementRole && ElementReader::isPrunedRole(*elementRole) && !selectedTab) {
            if (index >= pageSearchNodes - 1)
                break;
            continue;
        }
        if (elementRole == platform::role::documentWeb) {
            const QString url = reader.elementURL(entry.element);
            if (!url.isEmpty())
                return url;
        }
        if (entry.depth <= pageSearchChildDepth) {
            for (const AccessibleRef& child : reader.visibleChildren(entry.element, pageSearchNodes))
                queue.append({child, entry.depth + 1});
        }
        if (index >= pageSearchNodes - 1)
            break;
    }
    return AddressField(reader).read(window, uptime() + AddressField::searchSeconds, uptime);
}

} // namespace tavrine::capture

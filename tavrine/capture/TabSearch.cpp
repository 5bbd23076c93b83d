#include "tavrine/capture/TabSearch.h"

#include "tavrine/core/Text.h"

#include <QMap>

namespace tavrine::capture {

namespace role = platform::role;

namespace {

constexpr int nodeLimit = 3000;
constexpr int childDepthLimit = 29;
constexpr int tabBonus = 1000;
constexpr qsizetype shortestLabel = 4;
constexpr int ellipsisSkip = 24;
constexpr qsizetype shortestEllipsisMatch = 8;

// Press statuses in the log line: 0 when the action ran.
constexpr int pressRan = 0;
constexpr int pressRefused = 1;
constexpr int pressUnanswered = 2;

int length(const QString& text) {
    return int(text::graphemeCount(text));
}

// The process's X11 window showing the tree's window titled `name`: the first titled so, else the frontmost.
std::optional<platform::XWindowId> x11WindowFor(const QList<platform::WindowInfo>& windows, const QString& name) {
    for (const platform::WindowInfo& window : windows) {
        if (window.title == name)
            return window.id;
    }
    if (!windows.isEmpty())
        return windows.first().id;
    return std::nullopt;
}

QString summaryText(qsizetype windows, int nodes, const QMap<QString, int>& matches) {
    QStringList entries;
    for (auto it = matches.cbegin(); it != matches.cend(); ++it)
        entries.append(QStringLiteral("\"%1\": %2").arg(it.key()).arg(it.value()));
    const QString table = entries.isEmpty() ? QStringLiteral("[:]") : QLatin1Char('[') + entries.join(", ") + ']';
    return QStringLiteral("windows=%1 nodes=%2 matches=%3").arg(windows).arg(nodes).arg(table);
}

} // namespace

int tabTitleScore(const QString& label, const QString& title) {
    if (text::graphemeCount(label) < shortestLabel)
        return 0;
    if (title.contains(label))
        return length(label);

    const QString separator = QStringLiteral(" - ");
    const QStringList labelParts = label.split(separator);
    const QStringList titleParts = title.split(separator);
    qsizetype shared = 0;
    while (shared < labelParts.size() && shared < titleParts.size() && labelParts.at(shared) == titleParts.at(shared))
        ++shared;
    if (shared >= 1 && titleParts.size() - shared <= 2)
        return length(titleParts.mid(0, shared).join(separator));

    const QString ellipsis(QChar(0x2026));
    if (title.endsWith(ellipsis)) {
        const QString prefix = text::graphemePrefix(title, text::graphemeCount(title) - 1);
        for (int skip = 0; skip <= ellipsisSkip; ++skip) {
            const QString rest = text::graphemeDropFirst(prefix, skip);
            if (text::graphemeCount(rest) >= shortestEllipsisMatch && label.startsWith(rest))
                return length(rest);
        }
    }
    return 0;
}

std::optional<int> pressActionIndex(const QStringList& actionNames) {
    static const QStringList pressNames{QStringLiteral("press"), QStringLiteral("click"), QStringLiteral("activate"),
                                        QStringLiteral("switch"), QStringLiteral("jump")};
    for (qsizetype index = 0; index < actionNames.size(); ++index) {
        if (pressNames.contains(actionNames.at(index).toLower()))
            return int(index);
    }
    return std::nullopt;
}

TabSearchResult pressMatchingTab(ElementReader& reader, platform::Workspace& workspace, qint32 pid,
                                 const QString& title) {
    auto& bus = reader.bus();
    const QList<platform::WindowInfo> x11Windows = workspace.windows(pid);

    // The remembered title is the X11 title: the exact window is looked for among the X11 windows, minimised
    // ones included, so an application without a tree gets its window back too.
    for (const platform::WindowInfo& window : x11Windows) {
        if (window.title == title) {
            workspace.activate(window.id);
            return {QStringLiteral("raised window windows=%1").arg(x11Windows.size()), window.id};
        }
    }

    const QString wanted = text::collapseWhitespace(title);
    const auto application = bus.application(pid);
    const QList<AccessibleRef> windows = application ? bus.children(*application, 64) : QList<AccessibleRef>();

    struct Entry {
        AccessibleRef element;
        int depth;
        bool inTabList;
    };
    struct Candidate {
        AccessibleRef element;
        AccessibleRef window;
        QString roleName;
        int total = 0;
    };
    int nodes = 0;
    QMap<QString, int> matches;
    std::optional<Candidate> best;
    for (const AccessibleRef& window : windows) {
        QList<Entry> queue{{window, 0, false}};
        for (qsizetype index = 0; index < queue.size(); ++index) {
            if (nodes >= nodeLimit)
                break;
            const Entry entry = queue.at(index);
            ++nodes;
            const quint32 elementRole = bus.role(entry.element).value_or(0);
            if (elementRole == role::documentWeb)
                continue;
            const bool tabLike = elementRole == role::pageTab || (elementRole == role::radioButton && entry.inTabList);
            if (tabLike) {
                const int score = tabTitleScore(reader.elementLabel(entry.element, elementRole), wanted);
                if (score >= 1) {
                    const QString roleName = bus.roleName(entry.element);
                    matches[roleName] += 1;
                    const int total = score + tabBonus;
                    if (!best || total > best->total)
                        best = Candidate{entry.element, window, roleName, total};
                }
                continue;
            }
            if (entry.depth <= childDepthLimit) {
                const bool inTabList = entry.inTabList || elementRole == role::pageTabList;
                for (const AccessibleRef& child : reader.visibleChildren(entry.element, nodeLimit))
                    queue.append({child, entry.depth + 1, inTabList});
            }
        }
    }

    const QString summary = summaryText(windows.size(), nodes, matches);
    if (!best)
        return {QStringLiteral("no tab found ") + summary, std::nullopt};

    int status = pressUnanswered;
    if (const auto actions = bus.actionNames(best->element)) {
        if (const auto index = pressActionIndex(*actions)) {
            const auto ran = bus.doAction(best->element, *index);
            status = !ran ? pressUnanswered : (*ran ? pressRan : pressRefused);
        } else {
            status = pressRefused;
        }
    }
    const auto x11Window = x11WindowFor(x11Windows, bus.name(best->window).value_or(QString()));
    if (x11Window)
        workspace.activate(*x11Window);
    return {QStringLiteral("pressed %1 status=%2 %3").arg(best->roleName).arg(status).arg(summary), x11Window};
}

} // namespace tavrine::capture

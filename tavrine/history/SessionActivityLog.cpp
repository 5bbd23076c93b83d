#include "tavrine/history/SessionActivityLog.h"

#include "tavrine/core/Numbers.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/PageAddress.h"

#include <array>

namespace tavrine {

namespace {

struct KnownSite {
    const char* domain;
    const char* name;
};

// Lower-case domains and the names the recap and the log show for them. No domain ends with "." followed by
// another of them, so at most one row matches a host.
constexpr std::array<KnownSite, 14> knownSites{{
    {"linkedin.com", "LinkedIn"},
    {"lnkd.in", "LinkedIn"},
    {"booking.com", "Booking.com"},
    {"x.com", "X"},
    {"twitter.com", "X"},
    {"youtube.com", "YouTube"},
    {"youtu.be", "YouTube"},
    {"mail.google.com", "Gmail"},
    {"docs.google.com", "Google Docs"},
    {"github.com", "GitHub"},
    {"facebook.com", "Facebook"},
    {"instagram.com", "Instagram"},
    {"reddit.com", "Reddit"},
    {"netflix.com", "Netflix"},
}};

// Applications whose names point at a known site even without a page address.
constexpr std::array<KnownSite, 2> knownAppStems{{
    {"linkedin", "LinkedIn"},
    {"booking", "Booking.com"},
}};

} // namespace

void SessionActivityLog::close(double time) {
    if (entries.isEmpty() || entries.last().endedAt)
        return;
    SessionLogEntry& last = entries.last();
    const double end = time > last.startedAt ? time : last.startedAt;
    if (end - last.startedAt >= minimumStretch)
        last.endedAt = end;
    else
        entries.removeLast();
}

void SessionActivityLog::addPause(double time) {
    if (!entries.isEmpty() && !entries.last().endedAt && entries.last().kind == SessionLogKind::Pause)
        return;
    close(time);
    SessionLogEntry pause;
    pause.id = QUuid::createUuid();
    pause.mergeKey = QStringLiteral("pause");
    pause.phrase = QStringLiteral("Took a break");
    pause.kind = SessionLogKind::Pause;
    pause.startedAt = time;
    entries.append(pause);
}

void SessionActivityLog::markLastDetourRelated(const ActivityEvidence& evidence) {
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        if (entry->kind == SessionLogKind::Detour) {
            entry->kind = SessionLogKind::Related;
            entry->mergeKey = mergeKey(SessionLogKind::Related, evidence);
            return;
        }
    }
}

QList<SessionLogItem> SessionActivityLog::items(double now) const {
    QList<SessionLogItem> result;
    for (const SessionLogEntry& entry : entries) {
        const double duration = entry.duration(now);
        if (duration < minimumStretch)
            continue;
        result.append({entry.id, entry.phrase, entry.kind, formatDuration(duration)});
    }
    return result;
}

bool SessionActivityLog::isAcceptablePhrase(const QString& phrase) {
    const QString collapsed = text::collapseWhitespace(phrase);
    const qsizetype words = collapsed.isEmpty() ? 0 : collapsed.count(QLatin1Char(' ')) + 1;
    return words >= 2 && words <= 10 && text::graphemeCount(phrase) <= 80;
}

QString SessionActivityLog::mergeKey(SessionLogKind kind, const ActivityEvidence& evidence) {
    if (kind == SessionLogKind::Pause)
        return QStringLiteral("pause");
    if (const auto site = siteName(evidence.url))
        return rawValue(kind) + QStringLiteral("|host|") + *site;
    return rawValue(kind) + QStringLiteral("|app|") + evidence.bundle;
}

QString SessionActivityLog::phraseOrFallback(const QString& phrase, const ActivityEvidence& evidence) {
    const QString collapsed = text::collapseWhitespace(phrase);
    if (isAcceptablePhrase(collapsed))
        return collapsed;
    return fallbackPhrase(evidence);
}

QString SessionActivityLog::fallbackPhrase(const ActivityEvidence& evidence) {
    if (const auto label = siteLabel(evidence))
        return QStringLiteral("Browsed ") + *label;
    const QString app = text::collapseWhitespace(evidence.app);
    if (!app.isEmpty())
        return QStringLiteral("Used ") + app;
    return QStringLiteral("Used another app");
}

std::optional<QString> SessionActivityLog::siteLabel(const ActivityEvidence& evidence) {
    if (const auto site = siteName(evidence.url))
        return siteDisplayName(*site).value_or(*site);
    const QString app = evidence.app.toLower();
    for (const KnownSite& stem : knownAppStems) {
        if (app.contains(QLatin1String(stem.domain)))
            return QString::fromUtf8(stem.name);
    }
    return std::nullopt;
}

std::optional<QString> SessionActivityLog::siteName(const QString& address) {
    auto host = normalizedHost(address);
    if (host && host->startsWith(QLatin1String("www.")))
        host = host->mid(4);
    // "www." alone leaves nothing of a site.
    if (host && host->isEmpty())
        return std::nullopt;
    return host;
}

QString SessionActivityLog::fallbackPhrase(const ActivityClues& clues) {
    if (!clues.host.isEmpty()) {
        if (const auto name = siteDisplayName(clues.host))
            return QStringLiteral("Browsed ") + *name;
        return QStringLiteral("Browsed a website");
    }
    if (!clues.app.isEmpty())
        return QStringLiteral("Used ") + clues.app;
    return QStringLiteral("Used another app");
}

std::optional<QString> SessionActivityLog::siteDisplayName(const QString& host) {
    for (const KnownSite& site : knownSites) {
        if (host == QLatin1String(site.domain))
            return QString::fromUtf8(site.name);
    }
    for (const KnownSite& site : knownSites) {
        if (host.endsWith(QLatin1Char('.') + QLatin1String(site.domain)))
            return QString::fromUtf8(site.name);
    }
    return std::nullopt;
}

QString SessionActivityLog::formatDuration(double seconds) {
    qint64 total = roundedNumber(seconds);
    if (total < 0)
        total = 0;
    if (total < 60)
        return QString::number(total) + QLatin1Char('s');
    if (total < 3600)
        return QString::number(total / 60) + QLatin1Char('m');
    const qint64 hours = total / 3600;
    const qint64 minutes = (total % 3600) / 60;
    QString result = QString::number(hours) + QLatin1Char('h');
    if (minutes != 0)
        result += QLatin1Char(' ') + QString::number(minutes) + QLatin1Char('m');
    return result;
}

} // namespace tavrine

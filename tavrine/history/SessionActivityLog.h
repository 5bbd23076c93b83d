#pragma once

#include "tavrine/history/SessionLogEntry.h"

#include <QList>
#include <QString>
#include <optional>

namespace tavrine {

struct ActivityEvidence;

// The running session's activity log: stretches of on-track work, detours and breaks, oldest first. Only the
// last entry can be open. The session owns one log and changes it on the main thread; every time given to it
// is on the session's own clock, the log never reads a clock.
class SessionActivityLog {
public:
    QList<SessionLogEntry> entries;

    // A stretch shorter than this at its end leaves the log, and is left out of the items and the timeline.
    static constexpr double minimumStretch = 30.0;

    // Ends the open stretch at the later of `time` and its start; it stays only when it lasted 30 s or more.
    void close(double time);
    // Starts a break, unless one is already open.
    void addPause(double time);
    // The newest detour (open or closed) becomes related work, keyed for related work on that evidence.
    void markLastDetourRelated(const ActivityEvidence& evidence);
    // One item per entry that lasted 30 s or more (an open entry runs to `now`), in log order.
    QList<SessionLogItem> items(double now) const;

    bool operator==(const SessionActivityLog&) const = default;

    // "pause", or the kind's raw value followed by "|host|" and the site, or by "|app|" and the bundle id.
    static QString mergeKey(SessionLogKind kind, const ActivityEvidence& evidence);
    // 2 to 10 words and at most 80 characters (counted on the raw phrase).
    static bool isAcceptablePhrase(const QString& phrase);
    // The collapsed, trimmed phrase when acceptable, else the evidence's fallback phrase.
    static QString phraseOrFallback(const QString& phrase, const ActivityEvidence& evidence);
    // "Browsed " and the site label, "Used " and the application, or "Used another app".
    static QString fallbackPhrase(const ActivityEvidence& evidence);
    // "Browsed " and a known site's display name, "Browsed a website" for any other host (an unknown host is
    // never named), "Used " and the application, or "Used another app".
    static QString fallbackPhrase(const ActivityClues& clues);
    // The display name of the evidence's site, or the site itself; without a site, a name matched on the
    // application for two known sites.
    static std::optional<QString> siteLabel(const ActivityEvidence& evidence);
    // The lower-cased host of an http(s) page address, "www." dropped once.
    static std::optional<QString> siteName(const QString& address);
    // The display name of a known site that the host is, or is a subdomain of.
    static std::optional<QString> siteDisplayName(const QString& host);
    // "45s", "12m", "1h 5m", "2h": from the rounded seconds, negative (and non-finite) counting as 0.
    static QString formatDuration(double seconds);
};

} // namespace tavrine

#pragma once

#include "tavrine/session/FocusThief.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

namespace tavrine {

// The list of known distractions that focus mode checks first, and the browsers whose page address capture
// reads. It ships compiled in as ":/FocusThieves.json" and never changes while the program runs.
struct FocusThiefList {
    // In file order; the order decides ties.
    QList<FocusThief> thieves;
    QSet<QString> browsers;

    // The list compiled into the program, loaded once per process on first use.
    static const FocusThiefList& builtIn();
    // The list file's JSON: one object with "version" (integer), "browsers" (strings) and "thieves" (objects
    // with "id", "name", "apps" and "domains"). Anything missing or of the wrong type gives the empty list:
    // focus mode then never hits and no page address is read.
    static FocusThiefList fromJson(const QByteArray& json);
    // fromJson of a file's contents; an unreadable file gives the empty list.
    static FocusThiefList load(const QString& path);

    // The distraction that the application or the page address is. An application listed anywhere wins over
    // any site; sites match their exact host or a subdomain of it ("m.example.com" matches "example.com",
    // "notexample.com" does not).
    std::optional<FocusThief> match(const QString& bundle, const QString& address) const;

    friend bool operator==(const FocusThiefList&, const FocusThiefList&) = default;
};

} // namespace tavrine

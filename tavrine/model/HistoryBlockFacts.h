#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tavrine {

// One on-track or detour block of a finished session's timeline, as the history-intent writer is told about it.
struct HistoryBlockFacts {
    QString id;   // the segment's id in decimal
    QString kind; // "on_track" or "detour"
    QString app;
    QString site;
    qint64 minutes = 1;
    QStringList titles;
    QStringList text;
    QStringList captions;

    friend bool operator==(const HistoryBlockFacts&, const HistoryBlockFacts&) = default;
};

} // namespace tavrine

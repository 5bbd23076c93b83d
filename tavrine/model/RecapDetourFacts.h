#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tavrine {

// One top detour of a finished session, as the recap phrase writer is told about it.
struct RecapDetourFacts {
    QString id; // the detour's merge key
    QString app;
    QString site;
    qint64 minutes = 1;
    QStringList titles;
    QStringList captions;
    QString fallback; // the phrase shown until a line arrives

    friend bool operator==(const RecapDetourFacts&, const RecapDetourFacts&) = default;
};

} // namespace tavrine

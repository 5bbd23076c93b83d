#pragma once

#include <QJsonObject>
#include <QString>

namespace tavrine {

// What the nudge writer is told about the detour; each field is sent under the JSON key of its name and may be "".
struct NudgeFacts {
    QString intention;
    QString app;
    QString url;
    QString work;
    QString window;
    QString subject;
    QString focused;

    // The seven fields under their own names, as the nudge writer is sent them.
    QJsonObject toJson() const;

    friend bool operator==(const NudgeFacts&, const NudgeFacts&) = default;
};

} // namespace tavrine

#pragma once

#include <QString>
#include <QStringList>

namespace tavrine {

// One known distraction of focus mode: an application or a site that people drift to.
struct FocusThief {
    // Stable identifier; what a session pass names.
    QString id;
    // Shown in the status line, and the work description of a fast-lane nudge.
    QString name;
    // Application identifiers as capture derives them (the desktop-file id, or the class of WM_CLASS).
    QStringList apps;
    // Lower-case host names; their subdomains match too.
    QStringList domains;

    friend bool operator==(const FocusThief&, const FocusThief&) = default;
};

} // namespace tavrine

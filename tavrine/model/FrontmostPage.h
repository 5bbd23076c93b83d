#pragma once

#include <QString>
#include <QtGlobal>

namespace tavrine {

// The frontmost application's page as the observer reads it; `url` is "" unless the application is a listed
// browser.
struct FrontmostPage {
    QString app;
    QString bundle;
    qint32 pid = 0;
    QString title;
    QString url;

    friend bool operator==(const FrontmostPage&, const FrontmostPage&) = default;
};

} // namespace tavrine

#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <optional>

namespace tavrine::onboarding {

namespace pages {
Q_NAMESPACE
// The first-run window's pages, in order. The values are what "onboardingPage" stores, so a value written by an
// earlier version must keep reading back as the same page.
enum class OnboardingPage { Welcome = 0, Permissions = 3, Rehearsal = 8, Ready = 6 };
Q_ENUM_NS(OnboardingPage)
} // namespace pages
using pages::OnboardingPage;

// The nine colours of a page's backdrop, row by row from the top left of a 3 × 3 grid.
using BackdropPalette = std::array<QColor, 9>;

// What stays the same on a page whatever the user does.
struct PageTable {
    QString title;
    QString subtitle;
    // The ready page's title follows the intention: this is the one for an empty intention.
    QString primaryTitle;
    QString primaryObjectName;
    bool hasIndicator;
    // "Back" keeps its place everywhere but works only where this holds.
    bool backEnabled;
    bool hasSkip;
    bool hasNotNow;
    BackdropPalette palette;
};

// Exactly the four stored values make a page; anything else makes none.
std::optional<OnboardingPage> pageFromRaw(qint64 raw);
const QList<OnboardingPage>& pageSequence();
// The pages that get a dot: all but ready.
const QList<OnboardingPage>& indicatorPages();
const PageTable& pageTable(OnboardingPage page);

// The onboarding's own inks.
QColor onboardingInk();
QColor onboardingSecondaryInk();

} // namespace tavrine::onboarding

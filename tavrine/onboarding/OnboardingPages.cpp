#include "tavrine/onboarding/OnboardingPages.h"

#include <QHash>

namespace tavrine::onboarding {

namespace {

QColor rgb(double r, double g, double b) {
    return QColor::fromRgbF(float(r), float(g), float(b));
}

PageTable makeTable(OnboardingPage page) {
    switch (page) {
    case OnboardingPage::Welcome:
        return {QStringLiteral("Welcome to Tavrine"),
                QStringLiteral("One thing at a time. Set an intention and start a focus session."),
                QStringLiteral("Continue"), QStringLiteral("onboardingContinue"), true, false, false, false,
                {rgb(0.72, 0.86, 1.0), rgb(0.82, 0.78, 1.0), rgb(0.7, 0.9, 0.98), rgb(0.8, 0.88, 1.0),
                 rgb(0.9, 0.9, 1.0), rgb(0.76, 0.9, 0.94), rgb(0.86, 0.9, 1.0), rgb(0.92, 0.9, 0.98),
                 rgb(0.8, 0.92, 0.94)}};
    case OnboardingPage::Permissions:
        // No screenshot leaves the machine: the capture's images are read and dropped here.
        return {QStringLiteral("Grant access"),
                QStringLiteral("Tavrine needs both to see what you\u2019re working on. Screenshots stay on this "
                               "computer."),
                QStringLiteral("Continue"), QStringLiteral("onboardingContinue"), true, true, false, false,
                {rgb(0.7, 0.88, 1.0), rgb(0.78, 0.92, 0.96), rgb(0.68, 0.84, 0.98), rgb(0.76, 0.88, 0.98),
                 rgb(0.86, 0.92, 1.0), rgb(0.74, 0.88, 0.96), rgb(0.82, 0.9, 0.98), rgb(0.9, 0.94, 1.0),
                 rgb(0.8, 0.9, 0.96)}};
    case OnboardingPage::Rehearsal:
        return {QStringLiteral("Try a session"),
                QStringLiteral("We wrote the first intention for you. Start the session and see what Tavrine does."),
                QStringLiteral("Start focus session"), QStringLiteral("onboardingStartRehearsal"), true, true, true,
                false,
                {rgb(0.88, 0.8, 1.0), rgb(0.78, 0.84, 1.0), rgb(0.94, 0.86, 0.98), rgb(0.86, 0.82, 1.0),
                 rgb(0.92, 0.88, 1.0), rgb(0.84, 0.84, 0.98), rgb(0.9, 0.86, 0.98), rgb(0.94, 0.9, 1.0),
                 rgb(0.88, 0.86, 0.98)}};
    case OnboardingPage::Ready:
        return {QStringLiteral("Your first session"),
                QStringLiteral("Write what you will do. Or leave it empty to simply focus: Tavrine keeps you off "
                               "social media, chats, and news."),
                QStringLiteral("Start Focus mode"), QStringLiteral("onboardingGetStarted"), false, false, false, true,
                {rgb(0.72, 0.9, 0.98), rgb(0.76, 0.88, 0.92), rgb(0.7, 0.86, 1.0), rgb(0.8, 0.92, 0.96),
                 rgb(0.9, 0.96, 0.98), rgb(0.78, 0.9, 0.96), rgb(0.88, 0.95, 0.96), rgb(0.92, 0.97, 0.98),
                 rgb(0.84, 0.93, 0.94)}};
    }
    Q_UNREACHABLE();
}

} // namespace

std::optional<OnboardingPage> pageFromRaw(qint64 raw) {
    for (OnboardingPage page : pageSequence()) {
        if (qint64(page) == raw)
            return page;
    }
    return std::nullopt;
}

const QList<OnboardingPage>& pageSequence() {
    static const QList<OnboardingPage> sequence{OnboardingPage::Welcome, OnboardingPage::Permissions,
                                                OnboardingPage::Rehearsal, OnboardingPage::Ready};
    return sequence;
}

const QList<OnboardingPage>& indicatorPages() {
    static const QList<OnboardingPage> indicated{OnboardingPage::Welcome, OnboardingPage::Permissions,
                                                 OnboardingPage::Rehearsal};
    return indicated;
}

const PageTable& pageTable(OnboardingPage page) {
    static const std::array<PageTable, 4> tables{makeTable(OnboardingPage::Welcome),
                                                 makeTable(OnboardingPage::Permissions),
                                                 makeTable(OnboardingPage::Rehearsal), makeTable(OnboardingPage::Ready)};
    return tables[size_t(pageSequence().indexOf(page))];
}

QColor onboardingInk() {
    static const QColor ink = rgb(0.12, 0.14, 0.18);
    return ink;
}

QColor onboardingSecondaryInk() {
    static const QColor ink = rgb(0.3, 0.32, 0.36);
    return ink;
}

} // namespace tavrine::onboarding

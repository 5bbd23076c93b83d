#include "tavrine/onboarding/RehearsalClips.h"

#include "tavrine/onboarding/Scenery.h"

#include <QRegularExpression>
#include <QVariantMap>

namespace tavrine {

namespace {

QColor rgb(double r, double g, double b) { return QColor::fromRgbF(float(r), float(g), float(b)); }

RehearsalVideo videoOf(int video) { return video == int(RehearsalVideo::Tutorial) ? RehearsalVideo::Tutorial : RehearsalVideo::Detour; }

} // namespace

RehearsalClipIdentifiers RehearsalClipIdentifiers::configured() {
    return RehearsalClipIdentifiers{QStringLiteral(TAVRINE_REHEARSAL_DETOUR_ID),
                                    QStringLiteral(TAVRINE_REHEARSAL_TUTORIAL_ID)};
}

bool RehearsalClipIdentifiers::isValid(const QString& identifier) {
    static const QRegularExpression shape(QStringLiteral("^[A-Za-z0-9_-]{11}$"));
    return identifier.isEmpty() || shape.match(identifier).hasMatch();
}

RehearsalClip rehearsalClip(RehearsalVideo video, const RehearsalClipIdentifiers& ids) {
    if (video == RehearsalVideo::Tutorial)
        return {ids.tutorial, QStringLiteral("Hero Sections 101: Laying Out Your First Landing Page"),
                QStringLiteral("Canvas Class"), 20};
    return {ids.detour, QStringLiteral("Slurping Through Tokyo: Ten Hidden Ramen Counters in One Day"),
            QStringLiteral("Noodle Nomad Eats"), 40};
}

QList<RehearsalVideoRow> rehearsalVideoRows(RehearsalVideo video) {
    if (video == RehearsalVideo::Tutorial)
        return {
            {QStringLiteral("\U0001F524"), QStringLiteral("Typography rules every landing page needs"),
             QStringLiteral("Design Notes"), rgb(0.36, 0.52, 0.96)},
            {QStringLiteral("\U0001F9F2"), QStringLiteral("Hero sections that get the click"),
             QStringLiteral("Design Notes"), rgb(0.24, 0.70, 0.66)},
            {QStringLiteral("\U0001F4D0"), QStringLiteral("Spacing and grids, explained"), QStringLiteral("Pixel School"),
             rgb(0.56, 0.48, 0.94)},
            {QStringLiteral("\U0001F680"), QStringLiteral("A launch checklist for your first app"),
             QStringLiteral("Ship It"), rgb(0.94, 0.50, 0.36)},
            {QStringLiteral("\U0001F3A8"), QStringLiteral("Picking colours that convert"), QStringLiteral("Pixel School"),
             rgb(0.86, 0.40, 0.70)},
        };
    return {
        {QStringLiteral("\U0001F363"), QStringLiteral("Eating only corner-shop food in Japan for 24 hours"),
         QStringLiteral("Hungry Abroad"), rgb(0.95, 0.36, 0.42)},
        {QStringLiteral("\U0001F355"), QStringLiteral("I found the best pizza in Naples"), QStringLiteral("Hungry Abroad"),
         rgb(0.98, 0.62, 0.22)},
        {QStringLiteral("\u2708\uFE0F"), QStringLiteral("First class vs economy on a 14-hour flight"),
         QStringLiteral("Window Seat"), rgb(0.30, 0.58, 0.96)},
        {QStringLiteral("\U0001F3EF"), QStringLiteral("48 hours in Kyoto on $50"), QStringLiteral("Slow Travel"),
         rgb(0.55, 0.42, 0.92)},
        {QStringLiteral("\U0001F362"), QStringLiteral("Osaka after dark: every stall on one street"),
         QStringLiteral("Hungry Abroad"), rgb(0.90, 0.46, 0.24)},
    };
}

namespace sceneryhue {
// The desktop has no named system colours: orange and pink are the scenery's, the others the hues the page was
// drawn with.
QColor orange() { return onboarding::Scenery::standardOrange(); }
QColor red() { return rgb(1.0, 0.271, 0.227); }
QColor pink() { return onboarding::Scenery::standardPink(); }
QColor cyan() { return rgb(0.392, 0.824, 1.0); }
QColor indigo() { return rgb(0.369, 0.361, 0.902); }
} // namespace sceneryhue

QString RehearsalClips::title(int video) { return rehearsalClip(videoOf(video), {}).title; }

QString RehearsalClips::channel(int video) { return rehearsalClip(videoOf(video), {}).channel; }

QString RehearsalClips::accessibleName(int video) { return QStringLiteral("Video: ") + title(video); }

QVariantList RehearsalClips::avatarColors(int video) {
    if (videoOf(video) == RehearsalVideo::Tutorial)
        return {sceneryhue::cyan(), sceneryhue::indigo()};
    return {sceneryhue::orange(), sceneryhue::red()};
}

QVariantList RehearsalClips::rows(int video) {
    QVariantList out;
    for (const RehearsalVideoRow& row : rehearsalVideoRows(videoOf(video)))
        out.append(QVariantMap{{QStringLiteral("emoji"), row.emoji},
                               {QStringLiteral("title"), row.title},
                               {QStringLiteral("channel"), row.channel},
                               {QStringLiteral("tint"), row.tint}});
    return out;
}

QVariantList RehearsalClips::headerAvatarColors() { return {sceneryhue::orange(), sceneryhue::pink()}; }

} // namespace tavrine

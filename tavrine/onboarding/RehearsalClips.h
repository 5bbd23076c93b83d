#pragma once

#include "tavrine/onboarding/RehearsalVideo.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tavrine {

// One clip of the mock video site: its platform identifier (empty when none was configured), what the page shows
// of it, and the second it starts at.
struct RehearsalClip {
    QString identifier;
    QString title;
    QString channel;
    int startSecond = 0;
};

// The identifiers of the two clips, as the build configured them (empty by default: no clip can be checked
// without a network, so the poster stands in).
struct RehearsalClipIdentifiers {
    QString detour;
    QString tutorial;

    static RehearsalClipIdentifiers configured();
    // An identifier is empty or exactly eleven characters of [A-Za-z0-9_-].
    static bool isValid(const QString& identifier);
};

RehearsalClip rehearsalClip(RehearsalVideo video, const RehearsalClipIdentifiers& ids);

// One suggested video beside the player.
struct RehearsalVideoRow {
    QString emoji;
    QString title;
    QString channel;
    QColor tint;

    bool operator==(const RehearsalVideoRow&) const = default;
};

// The five suggestions that match the clip on show, built afresh on each call.
QList<RehearsalVideoRow> rehearsalVideoRows(RehearsalVideo video);

// What the mock video page shows of a clip, for its QML. Colours of the channel avatars and the header's avatar
// come from here so the page holds no table of its own.
class RehearsalClips : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    Q_INVOKABLE static QString title(int video);
    Q_INVOKABLE static QString channel(int video);
    // "Video: " and the title: the page's one accessible name.
    Q_INVOKABLE static QString accessibleName(int video);
    // The channel avatar's gradient, top leading to bottom trailing: orange to red, or cyan to indigo.
    Q_INVOKABLE static QVariantList avatarColors(int video);
    // Maps with "emoji", "title", "channel", "tint".
    Q_INVOKABLE static QVariantList rows(int video);
    // The header avatar: orange at the top to pink at the bottom.
    Q_INVOKABLE static QVariantList headerAvatarColors();
};

// The platform's named colours that the video page uses.
namespace sceneryhue {
QColor orange();
QColor red();
QColor pink();
QColor cyan();
QColor indigo();
} // namespace sceneryhue

} // namespace tavrine

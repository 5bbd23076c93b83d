#pragma once

#include "tavrine/model/MenuBarSessionBackground.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <optional>

namespace tavrine::ui {

// What the tray item shows: the session's remaining time while a session runs or is paused, or while a
// rehearsal is on stage, and the session's colour state.
struct TrayLabelState {
    bool showsTime = false;
    // The session's "mm:ss".
    QString remainingText;
    MenuBarSessionBackground background = MenuBarSessionBackground::None;
    friend bool operator==(const TrayLabelState&, const TrayLabelState&) = default;
};

// The tooltip and accessible name: "Tavrine", or "Focus time remaining, 25:03, relevant work".
QString labelAccessibilityText(const TrayLabelState& state);

// Tray hosts give an icon a square slot and shrink a wide "25:03" until nobody can read it, so the icon shows
// only the minutes: "25" for 25:03, "0" in the last minute, "180" for three hours.
QString trayMinuteText(const QString& remainingText);

// The pale colour behind the minutes for a verdict; none for no verdict.
std::optional<QColor> trayTint(MenuBarSessionBackground background);

// Draws the tray icon: the "MenuBarIcon" when no time shows; otherwise the minutes, in the palette's text colour
// on nothing, or in dark grey on a round pill of the tint. Keeps the last picture: drawing the same state twice
// gives the identical image.
class TrayIconRenderer {
public:
    // Pixels of the square the icon is drawn in; hosts scale it to their slot.
    static constexpr int iconSize = 64;

    QImage render(const TrayLabelState& state, const QColor& textColor);
    // The picture when it differs from the one handed out last by this call, else none: a host redraws (and
    // some flicker) on every new icon, so a running session sets one only when a minute turns over.
    std::optional<QImage> imageIfChanged(const TrayLabelState& state, const QColor& textColor);
    // How many pictures were actually drawn (cache misses).
    int drawings() const { return m_drawings; }

private:
    struct Key {
        bool showsTime = false;
        QString minutes;
        std::optional<QRgb> tint;
        QRgb color = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };
    QImage draw(const Key& key) const;

    std::optional<Key> m_key;
    QImage m_image;
    QImage m_handedOut;
    int m_drawings = 0;
};

} // namespace tavrine::ui

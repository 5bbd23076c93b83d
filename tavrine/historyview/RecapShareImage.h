#pragma once

#include "tavrine/history/SessionSummary.h"

#include <QByteArray>
#include <QImage>
#include <optional>

class QQmlEngine;

namespace tavrine {

// The shareable picture of the recap card: a complete opaque PNG file and the same bitmap for the preview.
struct RecapShareImage {
    QByteArray png;
    QImage preview;

    static QString fileName() { return QStringLiteral("tavrine-session.png"); }
    // Pixels per point of the image.
    static constexpr double scale = 3.0;
    // The ink margin around the card, in points.
    static constexpr double margin = 32.0;
};

// Renders the upright card of `summary` on its ink margin, laid out at three times its size (text, strip and
// wordmark drawn at that size, not a small picture enlarged), opaque. Absent when the card cannot be made or
// rendered. Runs on the main thread.
std::optional<QImage> renderShareCard(const SessionSummary& summary, QQmlEngine& engine);
// The share image of a rendered card: its PNG and the bitmap. Absent when encoding fails. Any thread.
std::optional<RecapShareImage> shareImageOf(const QImage& card);
// Both in one go.
std::optional<RecapShareImage> makeShareImage(const SessionSummary& summary, QQmlEngine& engine);

} // namespace tavrine

#pragma once

#include <QImage>
#include <QRect>
#include <QtGlobal>
#include <functional>

namespace tavrine {

// An exact identity of a rectangle of 8-bit grey pixels: its size and two independent 64-bit hashes of its rows.
// Recognised text is reused only on an equal key, never on a look-alike image.
struct PixelKey {
    quint64 first = 0;
    quint64 second = 0;
    int width = 0;
    int height = 0;

    bool operator==(const PixelKey&) const = default;

    // The key of `rect` (clipped to the image) of a Grayscale8 image.
    static PixelKey of(const QImage& grey, QRect rect);
    // The key of a whole image of any pixel format, as stored (the format is part of the key).
    static PixelKey ofImage(const QImage& image);
};

} // namespace tavrine

template <> struct std::hash<tavrine::PixelKey> {
    size_t operator()(const tavrine::PixelKey& key) const noexcept { return size_t(key.first); }
};

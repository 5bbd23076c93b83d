#include "tavrine/ui/XPicture.h"

#include <QImage>
#include <QPainter>
#include <QSysInfo>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>

namespace tavrine::ui {

namespace {

bool opaque(const QImage& pixels) {
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            if (row[x] < 0xFF000000u)
                return false;
    }
    return true;
}

} // namespace

QByteArray XPicture::rows(const QImage& picture, const QColor& background, const Format& format, int* bytesPerLine) {
    if ((format.depth != 24 && format.depth != 32) || (format.bitsPerPixel != 24 && format.bitsPerPixel != 32) ||
        format.scanlinePad % 8 != 0 || format.scanlinePad <= 0 || picture.isNull())
        return {};
    // Pixel for pixel, whatever the screen's scale.
    QImage physical = picture;
    physical.setDevicePixelRatio(1);
    // The usual server takes 32-bit pixels in this machine's byte order: the rows go as they are, the top byte
    // being the alpha at depth 32 and unused at depth 24, where a picture with no transparency needs no blending.
    if (format.bitsPerPixel == 32 && format.msbFirst == (QSysInfo::ByteOrder == QSysInfo::BigEndian)) {
        const QImage pixels = physical.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (format.depth == 32 || opaque(pixels)) {
            const int line = pixels.width() * 4;
            QByteArray out(qsizetype(line) * pixels.height(), Qt::Uninitialized);
            for (int y = 0; y < pixels.height(); ++y)
                std::memcpy(out.data() + qsizetype(y) * line, pixels.constScanLine(y), size_t(line));
            if (bytesPerLine)
                *bytesPerLine = line;
            return out;
        }
    }
    QImage pixels(physical.size(), QImage::Format_ARGB32_Premultiplied);
    if (format.depth == 32) {
        pixels = physical.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    } else {
        // What the picture leaves transparent shows the window's colour, as on screen.
        pixels.fill(background);
        QPainter painter(&pixels);
        painter.drawImage(0, 0, physical);
    }
    const int bytes = format.bitsPerPixel / 8;
    const int pad = format.scanlinePad / 8;
    const int line = (pixels.width() * bytes + pad - 1) / pad * pad;
    QByteArray out(line * pixels.height(), '\0');
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* in = reinterpret_cast<const quint32*>(pixels.constScanLine(y));
        auto* row = reinterpret_cast<uchar*>(out.data()) + qsizetype(y) * line;
        for (int x = 0; x < pixels.width(); ++x) {
            // 0xAARRGGBB as a number; the server wants its bytes from the least or the most significant one.
            const quint32 value = format.depth == 32 ? in[x] : (in[x] | 0xFF000000u);
            uchar* at = row + x * bytes;
            for (int b = 0; b < bytes; ++b) {
                const int shift = format.msbFirst ? 8 * (bytes - 1 - b) : 8 * b;
                at[b] = uchar(value >> shift);
            }
        }
    }
    if (bytesPerLine)
        *bytesPerLine = line;
    return out;
}

std::optional<XPicture::Format> XPicture::formatFor(xcb_connection_t* connection, int depth) {
    const xcb_setup_t* setup = connection ? xcb_get_setup(connection) : nullptr;
    if (!setup)
        return std::nullopt;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth != depth)
            continue;
        Format format;
        format.depth = depth;
        format.bitsPerPixel = it.data->bits_per_pixel;
        format.scanlinePad = it.data->scanline_pad;
        format.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
        return format;
    }
    return std::nullopt;
}

quint32 XPicture::upload(xcb_connection_t* connection, quint32 drawable, int depth, const QImage& picture,
                         const QColor& background) {
    const std::optional<Format> format = formatFor(connection, depth);
    int line = 0;
    const QByteArray data = format ? rows(picture, background, *format, &line) : QByteArray();
    if (data.isEmpty())
        return 0;
    const xcb_pixmap_t pixmap = xcb_generate_id(connection);
    xcb_create_pixmap(connection, quint8(depth), pixmap, drawable, quint16(picture.width()), quint16(picture.height()));
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    xcb_create_gc(connection, gc, pixmap, 0, nullptr);
    // Requests are limited in length: the picture goes in bands that fit.
    const quint32 limit = std::max<quint32>(xcb_get_maximum_request_length(connection) * 4, 262144) - 1024;
    const int band = std::max(1, int(limit / quint32(line)));
    for (int top = 0; top < picture.height(); top += band) {
        const int height = std::min(band, picture.height() - top);
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, quint16(picture.width()), quint16(height), 0,
                      qint16(top), 0, quint8(depth), quint32(line * height),
                      reinterpret_cast<const uint8_t*>(data.constData()) + qsizetype(top) * line);
    }
    xcb_free_gc(connection, gc);
    return pixmap;
}

} // namespace tavrine::ui

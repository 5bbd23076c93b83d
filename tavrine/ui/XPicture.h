#pragma once

#include <QByteArray>
#include <QColor>

#include <optional>

class QImage;
struct xcb_connection_t;

namespace tavrine::ui {

// A picture made into an X pixmap, laid out as the server says its images are: byte order, bits per pixel and
// row padding come from its setup, never from this machine.
class XPicture final {
public:
    // How a server lays out a ZPixmap image of one depth.
    struct Format {
        int depth = 24;
        int bitsPerPixel = 32;
        int scanlinePad = 32;
        // The image byte order: most significant byte first.
        bool msbFirst = false;
    };

    // `picture` as rows for a pixmap in `format`, starting at the top row; an alpha channel is kept for a depth of
    // 32 (premultiplied, as X keeps it), otherwise the picture is drawn over `background`. Empty when `format`
    // is not 24-bit colour in 24 or 32 bits a pixel.
    static QByteArray rows(const QImage& picture, const QColor& background, const Format& format, int* bytesPerLine);

    // The server's layout for `depth`, when it has one.
    static std::optional<Format> formatFor(xcb_connection_t* connection, int depth);

    // Uploads `picture` into a new pixmap of `depth` on the screen of `drawable`, in bands that fit a request. The
    // pixmap's id, or 0 when the server lays that depth out in a way `rows` does not write.
    static quint32 upload(xcb_connection_t* connection, quint32 drawable, int depth, const QImage& picture,
                          const QColor& background);
};

} // namespace tavrine::ui

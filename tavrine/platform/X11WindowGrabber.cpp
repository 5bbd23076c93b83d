#include "tavrine/platform/X11WindowGrabber.h"

#include "tavrine/model/ImageBlanking.h"

#include <QRegion>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xcomposite.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <bit>

namespace tavrine::platform {

namespace {

int maskShift(unsigned long mask) {
    return mask == 0 ? 0 : std::countr_zero(mask);
}

int maskBits(unsigned long mask) {
    return std::popcount(mask);
}

// Copies an XImage into an opaque QImage.
QImage toQImage(XImage* image, Visual* visual) {
    const int width = image->width;
    const int height = image->height;
    QImage result(width, height, QImage::Format_RGB32);
    const unsigned long red = visual->red_mask;
    const unsigned long green = visual->green_mask;
    const unsigned long blue = visual->blue_mask;
    const bool fast = image->bits_per_pixel == 32 && red == 0xff0000 && green == 0xff00 && blue == 0xff &&
                      image->byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
    if (fast) {
        for (int y = 0; y < height; ++y) {
            const auto* source = reinterpret_cast<const quint32*>(image->data + qsizetype(y) * image->bytes_per_line);
            auto* target = reinterpret_cast<quint32*>(result.scanLine(y));
            // The padding byte of a depth-24 pixel is undefined; Qt's RGB32 wants it opaque.
            for (int x = 0; x < width; ++x)
                target[x] = source[x] | 0xff000000U;
        }
        return result;
    }
    // Any other true-colour layout (16-bit screens): slow but right.
    const auto scale = [](unsigned long pixel, unsigned long mask) {
        const int bits = maskBits(mask);
        if (bits == 0)
            return 0U;
        const unsigned long value = (pixel & mask) >> maskShift(mask);
        return unsigned(value * 255 / ((1UL << bits) - 1));
    };
    for (int y = 0; y < height; ++y) {
        auto* target = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            target[x] = qRgb(int(scale(pixel, red)), int(scale(pixel, green)), int(scale(pixel, blue)));
        }
    }
    return result;
}

// Reads a rectangle of a drawable through shared memory, falling back to the socket.
std::optional<QImage> readArea(Display* display, Drawable drawable, Visual* visual, int depth, const QRect& area) {
    if (visual == nullptr || visual->c_class != TrueColor)
        return std::nullopt;
    if (XShmQueryExtension(display)) {
        XShmSegmentInfo segment{};
        XImage* image = XShmCreateImage(display, visual, unsigned(depth), ZPixmap, nullptr, &segment,
                                        unsigned(area.width()), unsigned(area.height()));
        if (image) {
            segment.shmid =
                shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * size_t(image->height), IPC_CREAT | 0600);
            if (segment.shmid >= 0) {
                segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
                segment.readOnly = False;
                std::optional<QImage> result;
                if (segment.shmaddr != reinterpret_cast<char*>(-1)) {
                    const bool attached = XShmAttach(display, &segment) && X11Connection::takeError(display) == 0;
                    // Marked for removal now, so that the segment goes away with the last detach whatever happens.
                    shmctl(segment.shmid, IPC_RMID, nullptr);
                    if (attached) {
                        if (XShmGetImage(display, drawable, image, area.x(), area.y(), AllPlanes) &&
                            X11Connection::takeError(display) == 0)
                            result = toQImage(image, visual);
                        XShmDetach(display, &segment);
                        X11Connection::takeError(display);
                    }
                    shmdt(segment.shmaddr);
                } else {
                    shmctl(segment.shmid, IPC_RMID, nullptr);
                }
                image->data = nullptr;
                XDestroyImage(image);
                if (result)
                    return result;
            } else {
                image->data = nullptr;
                XDestroyImage(image);
            }
        }
    }
    XImage* image = XGetImage(display, drawable, area.x(), area.y(), unsigned(area.width()), unsigned(area.height()),
                              AllPlanes, ZPixmap);
    if (!image || X11Connection::takeError(display) != 0) {
        if (image)
            XDestroyImage(image);
        return std::nullopt;
    }
    QImage result = toQImage(image, visual);
    XDestroyImage(image);
    return result;
}

// The areas, in root coordinates and within `area`, of the viewable windows stacked above the top-level window
// `frame`: the root's children after it (the root lists them bottom to top), override-redirect pop-ups and
// Tavrine's own panels included. Nothing when `frame` is not among them.
QRegion areaOfWindowsAbove(Display* display, Window root, Window frame, const QRect& area) {
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    QRegion covered;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count))
        return covered;
    bool above = false;
    for (unsigned i = 0; i < count; ++i) {
        if (children[i] == frame) {
            above = true;
            continue;
        }
        XWindowAttributes attributes{};
        // A window gone meanwhile fails the read and covers nothing.
        if (!above || !XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable ||
            attributes.c_class == InputOnly)
            continue;
        const int border = attributes.border_width;
        covered += QRect(attributes.x, attributes.y, attributes.width + 2 * border, attributes.height + 2 * border)
                       .intersected(area);
    }
    if (children)
        XFree(children);
    // The reads of windows that went away leave errors that must not fail the image read after them.
    X11Connection::takeError(display);
    return covered;
}

} // namespace

X11WindowGrabber::X11WindowGrabber(X11Connection* connection,
                                   std::shared_ptr<const std::atomic<bool>> compositorRunning)
    : m_connection(connection ? connection : X11Connection::shared()),
      m_compositorRunning(std::move(compositorRunning)) {}

std::optional<WindowImage> X11WindowGrabber::grab(XWindowId window) {
    if (!m_connection || window == 0)
        return std::nullopt;
    // The watcher's state may lag a change by a moment: a compositor just gone leaves no pixmap to name, and the
    // grab falls back to the screen; one just started still shows the window on the screen.
    const bool composited =
        m_compositorRunning ? m_compositorRunning->load(std::memory_order_relaxed) : m_connection->compositorRunning();
    const auto frame = m_connection->topLevelAncestor(window);
    std::optional<WindowImage> result;
    m_connection->withDisplay([&](Display* display) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable ||
            attributes.width <= 0 || attributes.height <= 0)
            return;
        const Window root = attributes.root;
        if (composited && frame) {
            int eventBase = 0;
            int errorBase = 0;
            int major = 0;
            int minor = 2;
            XWindowAttributes frameAttributes{};
            int x = 0;
            int y = 0;
            Window child = 0;
            if (XCompositeQueryExtension(display, &eventBase, &errorBase) &&
                XCompositeQueryVersion(display, &major, &minor) && (major > 0 || minor >= 2) &&
                XGetWindowAttributes(display, *frame, &frameAttributes) &&
                XTranslateCoordinates(display, window, *frame, 0, 0, &x, &y, &child)) {
                // The frame's pixmap starts at the outer edge of its border.
                const QRect area(x + frameAttributes.border_width, y + frameAttributes.border_width, attributes.width,
                                 attributes.height);
                const Pixmap pixmap = XCompositeNameWindowPixmap(display, *frame);
                if (X11Connection::takeError(display) == 0) {
                    // The frame's own pixels: nothing stacked above it is in them.
                    if (auto image = readArea(display, pixmap, frameAttributes.visual, frameAttributes.depth, area))
                        result = WindowImage{std::move(*image), 0.0};
                    XFreePixmap(display, pixmap);
                    X11Connection::takeError(display);
                }
                if (result)
                    return;
            }
        }
        // No compositor (or its pixmap failed): what the screen shows where the window is.
        int x = 0;
        int y = 0;
        Window child = 0;
        XWindowAttributes rootAttributes{};
        if (!XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child) ||
            !XGetWindowAttributes(display, root, &rootAttributes))
            return;
        const QRect wanted(x, y, attributes.width, attributes.height);
        const QRect visible = wanted.intersected(QRect(0, 0, rootAttributes.width, rootAttributes.height));
        if (visible.isEmpty())
            return;
        const QRegion covered = frame ? areaOfWindowsAbove(display, root, *frame, wanted) : QRegion();
        auto area = readArea(display, root, rootAttributes.visual, rootAttributes.depth, visible);
        if (!area)
            return;
        QImage whole;
        if (visible == wanted) {
            whole = std::move(*area);
        } else {
            // A window partly off the screen: the hidden part stays black, the image keeps the window's size.
            whole = QImage(wanted.size(), QImage::Format_RGB32);
            whole.fill(Qt::black);
            for (int row = 0; row < visible.height(); ++row) {
                const int targetRow = visible.y() - wanted.y() + row;
                memcpy(whole.scanLine(targetRow) + (visible.x() - wanted.x()) * 4, area->constScanLine(row),
                       size_t(visible.width()) * 4);
            }
        }
        blankImageArea(whole, covered.translated(-wanted.topLeft()));
        result = WindowImage{std::move(whole), coveredShare(covered, wanted)};
    });
    return result;
}

} // namespace tavrine::platform

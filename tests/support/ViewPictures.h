#pragma once

#include <QImage>
#include <QPoint>
#include <QString>

namespace tavrine::test {

// The largest difference of one channel between two pixels.
int stray(QRgb a, QRgb b);

// A view's picture as it is kept in the tree and compared: half the size it was drawn at, each 2 × 2 block of
// pixels averaged (premultiplied, so a see-through edge keeps its weight), 5 bits a channel, opaque pictures
// without their alpha. A mark a few pixels wide still moves every block it covers. `phase` moves the blocks by
// whole pixels of the drawn picture (its edge pixels repeat beyond it).
QImage reducedPicture(const QImage& drawn, QPoint phase = {});

// How far a picture may stray from its reference before it counts as changed: the renderer's run-to-run
// difference stays within it, a mark that comes or goes does not. A layout that rounds a text to the pixel above
// or below from one run to the next moves it by one pixel: a block of the reference counts as unchanged when the
// drawn picture, its blocks moved by up to one pixel (any of the nine phases), matches it there.
struct PictureTolerance {
    // A block has changed when one of its channels (premultiplied, 0…255) strays by more than this: a step of the
    // 5 bits kept (8) and a little more. The run-to-run difference measured here stays within 8; the translucent
    // thumb missing from the duration selector's light track moves its blocks by 27.
    int channel = 12;
    // The picture has changed when more of its blocks than this share changed, and more than `pixels` of them.
    double share = 0.0002;
    int pixels = 16;
    // Whether a block may match the drawn picture moved by one pixel.
    bool shifts = true;
};

struct PictureComparison {
    bool sameSize = false;
    int changedPixels = 0;
    // The largest stray of one channel among the changed blocks (or anywhere, when none changed).
    int largestChange = 0;
    bool matches = false;
    // The reference, the new picture (reduced) and where they differ (changed blocks red over a faded copy), side
    // by side; null when they match.
    QImage difference;
};

// Compares a picture as drawn (full size) with its reduced reference.
PictureComparison compareWithReference(const QImage& reference, const QImage& drawn,
                                       const PictureTolerance& tolerance = {});

// The old reference, the new one and where they differ, side by side: what to look at before a redrawn reference
// is committed.
QImage referenceReview(const QImage& before, const QImage& after);

} // namespace tavrine::test

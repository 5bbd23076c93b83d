// Image bytes: a case's screenshot, or a capture's crop read back from its PNG. Decoded as the evaluation
// harness does, then fingerprinted and encoded as evidence.
#include "FuzzSupport.h"

#include "tavrine/model/ImageData.h"

#include <QBuffer>
#include <QImageReader>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tavrine::fuzz::ensureApplication(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QBuffer buffer;
    buffer.setData(tavrine::fuzz::bytesOf(data, size));
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // A screenshot of 1800 x 1200 pixels takes under 9 MB; a stated size beyond 32 MB is refused before any
    // decoding, which keeps the fuzzer's memory, not the decoders' rules, within bounds.
    reader.setAllocationLimit(32);
    const QImage image = reader.read();
    (void)tavrine::imageFingerprint(image).size();
    // Encoding is the slow part; the screenshots it meets are at most 1800 pixels wide.
    if (!image.isNull() && qint64(image.width()) * image.height() <= 1800 * 1200) {
        const auto png = tavrine::encodeImageData(image);
        if (png)
            (void)QImage::fromData(*png, "PNG").size();
    }
    return 0;
}

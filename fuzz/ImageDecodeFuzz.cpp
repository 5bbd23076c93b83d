// Image bytes: a case's screenshot, or a capture's crop read back from its PNG. Decoded as the evaluation
// harness does, then fingerprinted and encoded as evidence.
#include "FuzzSupport.h"

#include "tavrine/model/ImageData.h"

#include <QImageReader>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tavrine::fuzz::ensureApplication(true);
    // A screenshot of 1800 x 1200 pixels takes under 9 MB; a stated size beyond 32 MB is refused before any
    // decoding, which keeps the fuzzer's memory, not the decoders' rules, within bounds.
    QImageReader::setAllocationLimit(32);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const tavrine::DecodedImage decoded = tavrine::decodeImageData(tavrine::fuzz::bytesOf(data, size));
    (void)decoded.refusal.size();
    const QImage& image = decoded.image;
    (void)tavrine::imageFingerprint(image).size();
    // Encoding is the slow part; the screenshots it meets are at most 1800 pixels wide.
    if (!image.isNull() && qint64(image.width()) * image.height() <= 1800 * 1200) {
        const auto png = tavrine::encodeImageData(image);
        if (png)
            (void)QImage::fromData(*png, "PNG").size();
    }
    return 0;
}

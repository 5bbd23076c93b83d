#include "tavrine/ocr/OcrBackend.h"
#include "tavrine/ocr/tesseract/TesseractRecognizer.h"

#include <cstring>
#include <mutex>
#include <leptonica/allheaders.h>
#include <omp.h>
#include <tesseract/baseapi.h>

namespace tavrine {

namespace {

struct PixDeleter {
    void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using Pix = std::unique_ptr<PIX, PixDeleter>;

Pix toPix(const BitImage& image) {
    if (image.isNull())
        return nullptr;
    Pix pix(pixCreateNoInit(image.width(), image.height(), 1));
    if (pix && pixGetWpl(pix.get()) == image.wordsPerLine())
        std::memcpy(pixGetData(pix.get()), image.words(), image.byteCount());
    else
        pix.reset();
    return pix;
}

BitImage toBitImage(const Pix& pix) {
    if (!pix)
        return {};
    BitImage image(pixGetWidth(pix.get()), pixGetHeight(pix.get()));
    if (image.isNull() || pixGetWpl(pix.get()) != image.wordsPerLine())
        return {};
    std::memcpy(image.words(), pixGetData(pix.get()), image.byteCount());
    image.clearPadding();
    return image;
}

class TesseractBackend final : public OcrBackend {
public:
    TesseractBackend() {
        // Leptonica reports odd boxes of noise on standard error ("box outside rectangle"); they are harmless here.
        setMsgSeverity(L_SEVERITY_NONE);
    }

    std::unique_ptr<Recognizer> createRecognizer(const std::string& language, std::string& error) override {
        // Tesseract's recognizer asks OpenMP for four threads in its inner loops (a num_threads clause, which the
        // thread-count setting alone does not override). Spread over threads, one page costs about four times the
        // CPU for the same wall time; allowing no nested team keeps all of it on this thread. Only Tesseract uses
        // OpenMP in this process. Both settings are the calling thread's own: each recognizer's thread makes them.
        omp_set_num_threads(1);
        omp_set_max_active_levels(0);
        auto api = std::make_unique<tesseract::TessBaseAPI>();
        // Tesseract's own settings are the process's, shared by every recognizer and read by all of them as they
        // recognise: set by the first, before any other exists (the line readers' recognizers are made after the
        // OCR thread's).
        std::call_once(m_processSettings, [&api] {
            // Its diagnostics ("Estimating resolution as …") would go to standard error on every page.
            api->SetVariable("debug_file", "/dev/null");
        });
        // The LSTM recognizer only: the legacy classifier adds time and no accuracy on screen text.
        if (api->Init(nullptr, language.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
            error = "Tesseract has no model for the language \"" + language + "\" (" + language +
                    ".traineddata, from the package tesseract-ocr-" + language + ")";
            return nullptr;
        }
        return std::make_unique<TesseractRecognizer>(std::move(api));
    }

    // The composite openings and dilations, by decomposition and generated code (Dwa): on a window's worth of
    // pixels the same result as a plain brick's in an eighth of the time for the long runs.
    BitImage openBrick(const BitImage& image, int width, int height) override {
        const Pix pix = toPix(image);
        return pix ? toBitImage(Pix(pixOpenCompBrickDwa(nullptr, pix.get(), width, height))) : BitImage();
    }

    BitImage dilateBrick(const BitImage& image, int width, int height) override {
        const Pix pix = toPix(image);
        return pix ? toBitImage(Pix(pixDilateCompBrickDwa(nullptr, pix.get(), width, height))) : BitImage();
    }

    BitImage seedFill(const BitImage& seed, const BitImage& mask) override {
        const Pix seedPix = toPix(seed);
        const Pix maskPix = toPix(mask);
        if (!seedPix || !maskPix)
            return {};
        return toBitImage(Pix(pixSeedfillBinary(nullptr, seedPix.get(), maskPix.get(), 8)));
    }

    std::vector<PixelBox> pieces(const BitImage& image) override {
        std::vector<PixelBox> boxes;
        const Pix pix = toPix(image);
        BOXA* found = pix ? pixConnCompBB(pix.get(), 8) : nullptr;
        for (int i = 0; found && i < boxaGetCount(found); ++i) {
            l_int32 x = 0, y = 0, width = 0, height = 0;
            boxaGetBoxGeometry(found, i, &x, &y, &width, &height);
            boxes.push_back({x, y, x + width, y + height});
        }
        boxaDestroy(&found);
        return boxes;
    }

private:
    std::once_flag m_processSettings;
};

} // namespace

} // namespace tavrine

extern "C" __attribute__((visibility("default"))) void* tavrine_ocr_backend() {
    static tavrine::TesseractBackend backend;
    return static_cast<tavrine::OcrBackend*>(&backend);
}

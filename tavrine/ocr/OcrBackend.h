#pragma once

#include "tavrine/ocr/BitImage.h"
#include "tavrine/ocr/Recognizer.h"

#include <memory>
#include <string>
#include <vector>

namespace tavrine {

// Everything done with Tesseract and Leptonica, held by a module of its own (tavrine-tesseract) that the process
// loads the first time a page is read. Linked into the program, those libraries and the OpenMP runtime would be
// loaded and bound at every launch, about a tenth of a second before the first window, for a reader that is needed
// only once a session runs.
class OcrBackend {
public:
    // The process's backend: the module is loaded by the first call, on the calling thread, once. Null when it
    // could not be loaded; that is logged once, naming what is missing.
    static OcrBackend* instance();
    // Whether instance() has loaded the module.
    static bool isLoaded();
    // What the log says before the reason when pages are read without their text.
    static constexpr char unavailable[] = "OCR unavailable, screens are captured without their text: ";
    // Loads the module at `path`. Null with `error` naming the path and what is missing.
    static OcrBackend* load(const std::string& path, std::string& error);
    // Where this program's module lies: in the build tree for a program built there (never an installed one), else
    // in the private folder of the installed package, found from the program's own place.
    static std::string modulePath();

    // A recognizer of `language` for screen text. The calling thread is the one that runs its recognitions: it is
    // kept to that thread alone (no OpenMP team). Null with `error` when the language's model is missing.
    virtual std::unique_ptr<Recognizer> createRecognizer(const std::string& language, std::string& error) = 0;

    // The opening and the dilation of `image` by a brick `width` by `height` (null when it failed).
    virtual BitImage openBrick(const BitImage& image, int width, int height) = 0;
    virtual BitImage dilateBrick(const BitImage& image, int width, int height) = 0;
    // The pixels of `mask` joined (8-connected, within `mask`) to the pixels set in `seed`.
    virtual BitImage seedFill(const BitImage& seed, const BitImage& mask) = 0;
    // The boxes of the 8-connected pieces of `image`.
    virtual std::vector<PixelBox> pieces(const BitImage& image) = 0;

protected:
    ~OcrBackend() = default;
};

} // namespace tavrine

// The module's one entry point: its backend (an OcrBackend*), which lives as long as the process.
extern "C" void* tavrine_ocr_backend();

#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace tavrine {

// A box on the image a recognizer was given, in pixels: right and bottom lie just past it.
struct PixelBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// One Tesseract instance, as the OCR module offers it (OcrBackend::createRecognizer). Not thread-safe: it lives on
// the thread that created it.
class Recognizer {
public:
    // How an image is taken apart (Tesseract's page segmentation modes, by their numbers): a whole page's layout,
    // one line whose blobs are still looked for, one line taken as found.
    enum Mode : int { Auto = 3, SingleLine = 7, RawLine = 13 };

    struct Word {
        std::string text; // UTF-8
        PixelBox box;
        bool hasBox = false;
        float confidence = 0; // 0 to 100
        // How sure the recognizer is of each character of the word, in order (0 to 100): a word read sure on the
        // whole can hold one character it all but guessed.
        std::vector<float> characterConfidences;
        // Each character's box, in the same order: where the recognizer saw it.
        std::vector<PixelBox> characterBoxes;
    };

    virtual ~Recognizer() = default;

    // An 8-bit grey image, read where it lies: it must stay until the next setImage or clear.
    virtual void setImage(const unsigned char* bits, int width, int height, int bytesPerLine) = 0;
    // Limits the next analysis or recognition to this part of the image set.
    virtual void setRectangle(int left, int top, int width, int height) = 0;
    virtual void setMode(int mode) = 0;
    virtual int mode() const = 0;
    virtual void setVariable(const std::string& name, const std::string& value) = 0;
    // Empty when not set.
    virtual std::string variable(const std::string& name) const = 0;

    // The line boxes of the text blocks a layout analysis of the image set finds, in its order (pictures and rules
    // it finds are left out).
    virtual std::vector<PixelBox> layoutLines() = 0;
    // Recognises the image set; false when it failed or was cancelled (`cancelled` is checked as it goes).
    virtual bool recognize(const std::atomic<bool>& cancelled) = 0;
    // The text of the last recognition, its mean confidence (0 to 100) and its words in reading order.
    virtual std::string text() = 0;
    virtual int meanConfidence() = 0;
    virtual std::vector<Word> words() = 0;
    // Forgets the image and the results.
    virtual void clear() = 0;
};

} // namespace tavrine

#pragma once

#include "tavrine/ocr/Recognizer.h"

#include <memory>

namespace tesseract {
class TessBaseAPI;
}

namespace tavrine {

// A Recognizer on one initialised TessBaseAPI, ended with it.
class TesseractRecognizer final : public Recognizer {
public:
    explicit TesseractRecognizer(std::unique_ptr<tesseract::TessBaseAPI> api);
    ~TesseractRecognizer() override;

    void setImage(const unsigned char* bits, int width, int height, int bytesPerLine) override;
    void setRectangle(int left, int top, int width, int height) override;
    void setMode(int mode) override;
    int mode() const override;
    void setVariable(const std::string& name, const std::string& value) override;
    std::string variable(const std::string& name) const override;
    std::vector<PixelBox> layoutLines() override;
    bool recognize(const std::atomic<bool>& cancelled) override;
    std::string text() override;
    int meanConfidence() override;
    std::vector<Word> words() override;
    void clear() override;

private:
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
};

} // namespace tavrine

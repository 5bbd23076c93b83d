#include "tavrine/ocr/tesseract/TesseractRecognizer.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/pageiterator.h>
#include <tesseract/resultiterator.h>

namespace tavrine {

static_assert(int(Recognizer::Auto) == int(tesseract::PSM_AUTO) &&
              int(Recognizer::SingleLine) == int(tesseract::PSM_SINGLE_LINE) &&
              int(Recognizer::RawLine) == int(tesseract::PSM_RAW_LINE));

namespace {

bool cancelRequested(void* flag, int) {
    return static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed);
}

} // namespace

TesseractRecognizer::TesseractRecognizer(std::unique_ptr<tesseract::TessBaseAPI> api) : m_api(std::move(api)) {}

TesseractRecognizer::~TesseractRecognizer() {
    m_api->End();
}

void TesseractRecognizer::setImage(const unsigned char* bits, int width, int height, int bytesPerLine) {
    m_api->SetImage(bits, width, height, 1, bytesPerLine);
}

void TesseractRecognizer::setRectangle(int left, int top, int width, int height) {
    m_api->SetRectangle(left, top, width, height);
}

void TesseractRecognizer::setMode(int mode) {
    m_api->SetPageSegMode(tesseract::PageSegMode(mode));
}

int TesseractRecognizer::mode() const {
    return int(m_api->GetPageSegMode());
}

void TesseractRecognizer::setVariable(const std::string& name, const std::string& value) {
    m_api->SetVariable(name.c_str(), value.c_str());
}

std::string TesseractRecognizer::variable(const std::string& name) const {
    const char* value = m_api->GetStringVariable(name.c_str());
    return value ? value : "";
}

std::vector<PixelBox> TesseractRecognizer::layoutLines() {
    std::vector<PixelBox> lines;
    std::unique_ptr<tesseract::PageIterator> it(m_api->AnalyseLayout());
    if (!it)
        return lines;
    do {
        // Pictures and rules found by the layout are not read: they would only give low-confidence noise.
        if (!PTIsTextType(it->BlockType()))
            continue;
        PixelBox box;
        if (it->BoundingBox(tesseract::RIL_TEXTLINE, &box.left, &box.top, &box.right, &box.bottom))
            lines.push_back(box);
    } while (it->Next(tesseract::RIL_TEXTLINE));
    return lines;
}

bool TesseractRecognizer::recognize(const std::atomic<bool>& cancelled) {
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &cancelRequested;
    monitor.cancel_this = const_cast<std::atomic<bool>*>(&cancelled);
    return m_api->Recognize(&monitor) == 0;
}

std::string TesseractRecognizer::text() {
    std::unique_ptr<char[]> utf8(m_api->GetUTF8Text());
    return utf8 ? utf8.get() : "";
}

int TesseractRecognizer::meanConfidence() {
    return m_api->MeanTextConf();
}

std::vector<Recognizer::Word> TesseractRecognizer::words() {
    std::vector<Word> words;
    std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
    if (!it)
        return words;
    for (bool more = true; more;) {
        std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
        if (!text) {
            more = it->Next(tesseract::RIL_WORD);
            continue;
        }
        Word word;
        word.text = text.get();
        word.hasBox =
            it->BoundingBox(tesseract::RIL_WORD, &word.box.left, &word.box.top, &word.box.right, &word.box.bottom);
        word.confidence = it->Confidence(tesseract::RIL_WORD);
        // The word's characters one by one, up to where the next word begins.
        do {
            word.characterConfidences.push_back(it->Confidence(tesseract::RIL_SYMBOL));
            PixelBox box;
            it->BoundingBox(tesseract::RIL_SYMBOL, &box.left, &box.top, &box.right, &box.bottom);
            word.characterBoxes.push_back(box);
        } while ((more = it->Next(tesseract::RIL_SYMBOL)) && !it->IsAtBeginningOf(tesseract::RIL_WORD));
        words.push_back(std::move(word));
    }
    return words;
}

void TesseractRecognizer::clear() {
    m_api->Clear();
}

} // namespace tavrine

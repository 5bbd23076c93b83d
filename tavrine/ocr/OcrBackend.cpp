#include "tavrine/ocr/OcrBackend.h"

#include "tavrine/core/Log.h"
#include "tavrine/core/PrivateModule.h"

namespace tavrine {

namespace {

PrivateModule& ocrModule() {
    static PrivateModule module("OCR", TAVRINE_OCR_MODULE_BUILT, TAVRINE_OCR_MODULE_FROM_PROGRAM,
                                "tavrine_ocr_backend");
    return module;
}

} // namespace

bool OcrBackend::isLoaded() {
    return ocrModule().isLoaded();
}

OcrBackend* OcrBackend::instance() {
    return static_cast<OcrBackend*>(ocrModule().instance(logEvidence(), QString::fromLatin1(unavailable)));
}

OcrBackend* OcrBackend::load(const std::string& path, std::string& error) {
    return static_cast<OcrBackend*>(ocrModule().open(path, error));
}

std::string OcrBackend::modulePath() {
    return ocrModule().path();
}

} // namespace tavrine

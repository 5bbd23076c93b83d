// Evaluation case files: the bytes of a cases file as the judge, end-to-end and nudge evaluations decode them.
#include "FuzzSupport.h"

#include "tavrine/eval/EvalCase.h"
#include "tavrine/eval/NudgeEvalCase.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = tavrine::fuzz::bytesOf(data, size);
    try {
        (void)tavrine::eval::decodeEvalCases(bytes).size();
    } catch (const std::exception& error) {
        tavrine::fuzz::touch(error);
    }
    try {
        (void)tavrine::eval::decodeNudgeEvalCases(bytes).size();
    } catch (const std::exception& error) {
        tavrine::fuzz::touch(error);
    }
    return 0;
}

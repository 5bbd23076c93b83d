#include "tavrine/ocr/OcrBackend.h"

#include "tavrine/core/Log.h"

#include <QElapsedTimer>
#include <QString>
#include <algorithm>
#include <atomic>
#include <dlfcn.h>
#include <filesystem>

namespace tavrine {

namespace {

namespace fs = std::filesystem;

bool isWithin(const fs::path& path, const fs::path& folder) {
    if (folder.empty())
        return false;
    // A trailing separator leaves an empty last element, which no path shares.
    const fs::path tree = folder.has_filename() ? folder : folder.parent_path();
    return std::mismatch(tree.begin(), tree.end(), path.begin(), path.end()).first == tree.end();
}

std::atomic<bool> g_loaded{false};

} // namespace

bool OcrBackend::isLoaded() {
    return g_loaded.load();
}

OcrBackend* OcrBackend::instance() {
    static OcrBackend* const backend = [] {
        QElapsedTimer timer;
        timer.start();
        const std::string path = modulePath();
        std::string error;
        OcrBackend* loaded = load(path, error);
        g_loaded = loaded != nullptr;
        if (loaded)
            log::info(logEvidence(), QStringLiteral("OCR module %1 loaded in %2 ms")
                                         .arg(QString::fromStdString(path))
                                         .arg(double(timer.nsecsElapsed()) / 1e6, 0, 'f', 1));
        else
            log::error(logEvidence(), QStringLiteral("OCR unavailable, screens are captured without their text: ") +
                                          QString::fromStdString(error));
        return loaded;
    }();
    return backend;
}

OcrBackend* OcrBackend::load(const std::string& path, std::string& error) {
    // Bound now: a library the module needs that is missing shows here, not at the first page read.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        // The loader's reason names the module itself when that is missing, else the library it lacks.
        std::string reason = dlerror();
        if (reason.starts_with(path + ": "))
            reason.erase(0, path.size() + 2);
        error = "cannot load the OCR module " + path + ": " + reason;
        return nullptr;
    }
    // Never unloaded: its recognizer and the libraries' own state live as long as the process.
    auto* entry = reinterpret_cast<OcrBackend* (*)()>(dlsym(module, "tavrine_ocr_backend"));
    OcrBackend* backend = entry ? entry() : nullptr;
    if (!backend)
        error = "the OCR module " + path + " has no backend";
    return backend;
}

std::string OcrBackend::modulePath() {
    std::error_code failed;
    const fs::path program = fs::read_symlink("/proc/self/exe", failed);
    const fs::path buildTree = fs::weakly_canonical(TAVRINE_BUILD_TREE, failed);
    if (!program.empty() && isWithin(program, buildTree))
        return TAVRINE_OCR_MODULE_BUILT;
    return (program.parent_path() / TAVRINE_OCR_MODULE_FROM_PROGRAM).lexically_normal().string();
}

} // namespace tavrine

#include "tavrine/core/PrivateModule.h"

#include "tavrine/core/Log.h"

#include <QElapsedTimer>
#include <algorithm>
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

} // namespace

PrivateModule::PrivateModule(const char* what, const char* built, const char* fromProgram, const char* entry)
    : m_what(what), m_built(built), m_fromProgram(fromProgram), m_entry(entry) {}

std::string PrivateModule::path() const {
    std::error_code failed;
    const fs::path program = fs::read_symlink("/proc/self/exe", failed);
    const fs::path buildTree = fs::weakly_canonical(TAVRINE_BUILD_TREE, failed);
    if (!program.empty() && isWithin(program, buildTree))
        return m_built;
    return (program.parent_path() / m_fromProgram).lexically_normal().string();
}

void* PrivateModule::open(const std::string& path, std::string& error) const {
    // Bound now: a library the module needs that is missing shows here, not at its first use.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        // The loader's reason names the module itself when that is missing, else the library it lacks.
        std::string reason = dlerror();
        if (reason.starts_with(path + ": "))
            reason.erase(0, path.size() + 2);
        error = std::string("cannot load the ") + m_what + " module " + path + ": " + reason;
        return nullptr;
    }
    // Never unloaded: the module's object and its libraries' own state live as long as the process.
    auto* entry = reinterpret_cast<void* (*)()>(dlsym(module, m_entry));
    void* object = entry ? entry() : nullptr;
    if (!object)
        error = std::string("the ") + m_what + " module " + path + " has no " + m_entry;
    return object;
}

void* PrivateModule::instance(const QLoggingCategory& category, const QString& unavailable) {
    std::call_once(m_once, [&] {
        QElapsedTimer timer;
        timer.start();
        const std::string where = path();
        std::string error;
        m_object = open(where, error);
        m_loaded = m_object != nullptr;
        if (m_object)
            log::info(category, QStringLiteral("%1 module %2 loaded in %3 ms")
                                    .arg(QString::fromLatin1(m_what), QString::fromStdString(where))
                                    .arg(double(timer.nsecsElapsed()) / 1e6, 0, 'f', 1));
        else
            log::error(category, unavailable + QString::fromStdString(error));
    });
    return m_object;
}

} // namespace tavrine

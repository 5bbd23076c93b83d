#pragma once

#include <QString>
#include <atomic>
#include <mutex>
#include <string>

class QLoggingCategory;

namespace tavrine {

// A module of the program's own (no soname, installed in the package's private folder) that holds libraries the
// program needs only after launch. Linked in, they would be loaded and bound before the first window; loaded by
// their first use, the launch pays nothing for them. The module's one entry is an extern "C" function without
// arguments that answers the module's object, which lives as long as the process.
class PrivateModule {
public:
    // `what` names the module in log lines ("OCR"); `built` is where the build tree puts it, `fromProgram` where the
    // package installs it relative to the program's folder.
    PrivateModule(const char* what, const char* built, const char* fromProgram, const char* entry);

    // Where this program's module lies: in the build tree for a program built there (never an installed one), else
    // in the private folder of the installed package, found from the program's own place.
    std::string path() const;
    // Loads the module at `path` and answers its entry's object. Null with `error` naming the path and what is
    // missing.
    void* open(const std::string& path, std::string& error) const;
    // The process's object: the module at path() is loaded by the first call, on the calling thread, once. Null
    // when it could not be loaded; that is logged once to `category`, after `unavailable`, naming what is missing.
    void* instance(const QLoggingCategory& category, const QString& unavailable);
    // Whether instance() has loaded the module.
    bool isLoaded() const { return m_loaded.load(); }

private:
    const char* m_what;
    const char* m_built;
    const char* m_fromProgram;
    const char* m_entry;
    std::once_flag m_once;
    void* m_object = nullptr;
    std::atomic<bool> m_loaded{false};
};

} // namespace tavrine

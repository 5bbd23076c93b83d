#include "FullDisk.h"

#include <QFile>
#include <QMutex>
#include <QStringList>

#include <sqlite3.h>

#include <cstring>
#include <optional>

namespace tavrine::test {

namespace {

using Fault = FullDisk::Fault;

QMutex fullLock;
QList<std::pair<QString, Fault>> fullFolders;

// How the disk under that file fails; none while it works.
std::optional<Fault> faultAt(const char* path) {
    if (!path)
        return std::nullopt;
    const QString name = QFile::decodeName(path);
    const QMutexLocker locker(&fullLock);
    for (const auto& [folder, fault] : std::as_const(fullFolders))
        if (name.startsWith(folder + QLatin1Char('/')))
            return fault;
    return std::nullopt;
}

sqlite3_vfs* realVfs = nullptr;

// The real file follows this header in the same allocation.
struct File {
    sqlite3_file base;
    sqlite3_file* real;
    char path[512];
};

sqlite3_file* real(sqlite3_file* file) {
    return reinterpret_cast<File*>(file)->real;
}

int write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    File* f = reinterpret_cast<File*>(file);
    if (const std::optional<Fault> fault = faultAt(f->path)) {
        if (*fault != Fault::Full)
            return SQLITE_IOERR_WRITE;
        sqlite3_int64 size = 0;
        if (f->real->pMethods->xFileSize(f->real, &size) != SQLITE_OK || offset + amount > size)
            return SQLITE_FULL;
    }
    return f->real->pMethods->xWrite(f->real, data, amount, offset);
}

int truncate(sqlite3_file* file, sqlite3_int64 size) {
    File* f = reinterpret_cast<File*>(file);
    const std::optional<Fault> fault = faultAt(f->path);
    if (fault && *fault != Fault::Full)
        return SQLITE_IOERR_TRUNCATE;
    return f->real->pMethods->xTruncate(f->real, size);
}

int sync(sqlite3_file* file, int flags) {
    File* f = reinterpret_cast<File*>(file);
    const std::optional<Fault> fault = faultAt(f->path);
    if (fault && *fault != Fault::Full)
        return SQLITE_IOERR_FSYNC;
    return f->real->pMethods->xSync(f->real, flags);
}

// Every other method is the real file's own.
#define FORWARD(method)                                                                                                \
    [](sqlite3_file* file, auto... arguments) { return real(file)->pMethods->method(real(file), arguments...); }

// No memory-mapped reads: every page goes through xRead.
int fetch(sqlite3_file*, sqlite3_int64, int, void** out) {
    *out = nullptr;
    return SQLITE_OK;
}

const sqlite3_io_methods methods = {
    3,
    FORWARD(xClose),
    FORWARD(xRead),
    write,
    truncate,
    sync,
    FORWARD(xFileSize),
    FORWARD(xLock),
    FORWARD(xUnlock),
    FORWARD(xCheckReservedLock),
    FORWARD(xFileControl),
    FORWARD(xSectorSize),
    FORWARD(xDeviceCharacteristics),
    FORWARD(xShmMap),
    FORWARD(xShmLock),
    FORWARD(xShmBarrier),
    FORWARD(xShmUnmap),
    fetch,
    [](sqlite3_file*, sqlite3_int64, void*) { return SQLITE_OK; },
};

int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    File* f = reinterpret_cast<File*>(file);
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    f->path[0] = '\0';
    if (name) {
        std::strncpy(f->path, name, sizeof f->path - 1);
        f->path[sizeof f->path - 1] = '\0';
    }
    if ((flags & SQLITE_OPEN_READWRITE) && faultAt(f->path) == Fault::ReadOnly) {
        // As SQLite's own open does when a file may not be written: for reading only, or not at all when new.
        flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
    }
    const int result = realVfs->xOpen(realVfs, name, f->real, flags, outFlags);
    // SQLite calls close only on a file whose methods are set.
    f->base.pMethods = f->real->pMethods ? &methods : nullptr;
    return result;
}

sqlite3_vfs fullDiskVfs;

// Before any connection is opened: a connection keeps the file system it was opened on.
const bool installed = [] {
    sqlite3_initialize();
    realVfs = sqlite3_vfs_find(nullptr);
    fullDiskVfs = *realVfs;
    fullDiskVfs.zName = "tavrine-test-full-disk";
    fullDiskVfs.szOsFile = int(sizeof(File)) + realVfs->szOsFile;
    fullDiskVfs.xOpen = open;
    fullDiskVfs.pNext = nullptr;
    return sqlite3_vfs_register(&fullDiskVfs, 1) == SQLITE_OK;
}();

} // namespace

FullDisk::FullDisk(const QString& folder, Fault fault) : m_folder(folder), m_fault(fault) {
    Q_ASSERT(installed);
    const QMutexLocker locker(&fullLock);
    fullFolders.append({m_folder, m_fault});
}

FullDisk::~FullDisk() {
    free();
}

void FullDisk::free() {
    const QMutexLocker locker(&fullLock);
    fullFolders.removeAll(std::pair(m_folder, m_fault));
}

} // namespace tavrine::test

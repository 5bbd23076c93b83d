#include "FullDisk.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace tavrine::test {

namespace {

using Fault = FullDisk::Fault;

QMutex fullLock;
// The bytes each full folder's disk still gives.
QHash<QString, qint64> fullFolders;
// The folders whose disk fails otherwise than by filling.
QHash<QString, Fault> faultyFolders;

// Lengths are taken a block at a time, as a file system takes them.
constexpr qint64 block = 4096;
qint64 blocks(qint64 length) {
    return (length + block - 1) / block * block;
}

// The bytes still free on the full disk holding that file, or none; with the lock held.
qint64* freeOnFullDisk(const char* path) {
    if (!path)
        return nullptr;
    const QString name = QFile::decodeName(path);
    for (auto it = fullFolders.begin(); it != fullFolders.end(); ++it)
        if (name.startsWith(it.key() + QLatin1Char('/')))
            return &it.value();
    return nullptr;
}

// How the disk under that file fails otherwise than by filling; none while it works.
std::optional<Fault> faultAt(const char* path) {
    if (!path)
        return std::nullopt;
    const QString name = QFile::decodeName(path);
    const QMutexLocker locker(&fullLock);
    for (auto it = faultyFolders.cbegin(); it != faultyFolders.cend(); ++it)
        if (name.startsWith(it.key() + QLatin1Char('/')))
            return it.value();
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
    if (faultAt(f->path))
        return SQLITE_IOERR_WRITE;
    const QMutexLocker locker(&fullLock);
    if (qint64* free = freeOnFullDisk(f->path)) {
        sqlite3_int64 size = 0;
        if (f->real->pMethods->xFileSize(f->real, &size) != SQLITE_OK)
            return SQLITE_FULL;
        const qint64 taken = blocks(offset + amount) - blocks(size);
        if (taken > *free)
            return SQLITE_FULL;
        *free -= std::max<qint64>(taken, 0);
    }
    return f->real->pMethods->xWrite(f->real, data, amount, offset);
}

int truncate(sqlite3_file* file, sqlite3_int64 length) {
    File* f = reinterpret_cast<File*>(file);
    if (faultAt(f->path))
        return SQLITE_IOERR_TRUNCATE;
    const QMutexLocker locker(&fullLock);
    sqlite3_int64 size = 0;
    const int result = f->real->pMethods->xFileSize(f->real, &size);
    const int truncated = f->real->pMethods->xTruncate(f->real, length);
    if (qint64* free = freeOnFullDisk(f->path); free && result == SQLITE_OK && truncated == SQLITE_OK)
        *free += std::max<qint64>(blocks(size) - blocks(length), 0);
    return truncated;
}

int sync(sqlite3_file* file, int flags) {
    File* f = reinterpret_cast<File*>(file);
    if (faultAt(f->path))
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

// A file deleted gives its blocks back.
int remove(sqlite3_vfs*, const char* name, int syncDirectory) {
    const QMutexLocker locker(&fullLock);
    const qint64 size = name ? QFileInfo(QFile::decodeName(name)).size() : 0;
    const int result = realVfs->xDelete(realVfs, name, syncDirectory);
    if (qint64* free = freeOnFullDisk(name); free && result == SQLITE_OK)
        *free += blocks(size);
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
    fullDiskVfs.xDelete = remove;
    fullDiskVfs.pNext = nullptr;
    return sqlite3_vfs_register(&fullDiskVfs, 1) == SQLITE_OK;
}();

} // namespace

FullDisk::FullDisk(const QString& folder, qint64 freeBytes) : m_folder(folder) {
    Q_ASSERT(installed);
    const QMutexLocker locker(&fullLock);
    fullFolders.insert(m_folder, freeBytes);
}

FullDisk::FullDisk(const QString& folder, Fault fault) : m_folder(folder) {
    Q_ASSERT(installed);
    const QMutexLocker locker(&fullLock);
    if (fault == Fault::Full)
        fullFolders.insert(m_folder, 0);
    else
        faultyFolders.insert(m_folder, fault);
}

FullDisk::~FullDisk() {
    free();
}

void FullDisk::fill() {
    const QMutexLocker locker(&fullLock);
    if (fullFolders.contains(m_folder))
        fullFolders[m_folder] = 0;
}

qint64 FullDisk::freeBytes() const {
    const QMutexLocker locker(&fullLock);
    return fullFolders.value(m_folder, 0);
}

void FullDisk::free() {
    const QMutexLocker locker(&fullLock);
    fullFolders.remove(m_folder);
    faultyFolders.remove(m_folder);
}

} // namespace tavrine::test

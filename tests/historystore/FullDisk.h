#pragma once

#include <QString>

namespace tavrine::test {

// A disk that fills, for SQLite: while a folder is full, a write that would make one of its files longer than the
// disk's free bytes allow fails as on a full disk (SQLITE_FULL, "database or disk is full"), and a write inside a
// file's present length still goes through, as it does on a real disk. Lengths are taken and given back (a file
// shortened or deleted) in blocks of 4 kB. It lies under every connection of a test program that links it (Qt's
// driver shares the SQLite library), installed before the program's first connection. The same disk can fail
// the other ways a disk turns against a running program instead of filling.
class FullDisk {
public:
    enum class Fault {
        Full,
        // The file system remounted read-only under open files (ext4's errors=remount-ro after a disk error):
        // every write, truncation and sync fails as EROFS makes SQLite fail them ("disk I/O error"), and a file
        // opened anew for writing is opened for reading only, as SQLite does where it may not write.
        ReadOnly,
        // The disk errs: every write, truncation and sync fails ("disk I/O error"); reads still go through.
        IoError,
    };

    // Leaves the folder's disk `freeBytes` free now (none: full), until `free` or the object goes.
    explicit FullDisk(const QString& folder, qint64 freeBytes = 0);
    // Fails the folder's disk the given way now (Full: none free).
    FullDisk(const QString& folder, Fault fault);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // Takes what is left, as another program filling the disk would.
    void fill();
    qint64 freeBytes() const;
    void free();

private:
    QString m_folder;
};

} // namespace tavrine::test

#pragma once

#include <QString>

namespace tavrine::test {

// A disk that fills, for SQLite: while a folder is full, a write that would make one of its files longer fails
// as on a full disk (SQLITE_FULL, "database or disk is full"), and a write inside a file's present length still
// goes through, as it does on a real disk. It lies under every connection of a test program that links it (Qt's
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

    // Fills the folder's disk now (or fails it the given way), until `free` or the object goes.
    explicit FullDisk(const QString& folder, Fault fault = Fault::Full);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    void free();

private:
    QString m_folder;
    Fault m_fault;
};

} // namespace tavrine::test

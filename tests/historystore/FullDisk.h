#pragma once

#include <QString>

namespace tavrine::test {

// A disk that fills, for SQLite: while a folder is full, a write that would make one of its files longer than the
// disk's free bytes allow fails as on a full disk (SQLITE_FULL, "database or disk is full"), and a write inside a
// file's present length still goes through, as it does on a real disk. Lengths are taken and given back (a file
// shortened or deleted) in blocks of 4 kB. It lies under every connection of a test program that links it (Qt's
// driver shares the SQLite library), installed before the program's first connection.
class FullDisk {
public:
    // Leaves the folder's disk `freeBytes` free now (none: full), until `free` or the object goes.
    explicit FullDisk(const QString& folder, qint64 freeBytes = 0);
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

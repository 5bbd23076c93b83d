#pragma once

#include <QString>

namespace tavrine::test {

// A disk that fills, for SQLite: while a folder is full, a write that would make one of its files longer fails
// as on a full disk (SQLITE_FULL, "database or disk is full"), and a write inside a file's present length still
// goes through, as it does on a real disk. It lies under every connection of a test program that links it (Qt's
// driver shares the SQLite library), installed before the program's first connection.
class FullDisk {
public:
    // Fills the folder's disk now, until `free` or the object goes.
    explicit FullDisk(const QString& folder);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    void free();

private:
    QString m_folder;
};

} // namespace tavrine::test

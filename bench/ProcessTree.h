#pragma once

// The processes a benchmark started, directly or through others, and what /proc says of their memory.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <unistd.h>

namespace processtree {

// The number after `name` ("Rss:", "Private_Dirty:") in a /proc status or smaps_rollup text (kB), else 0.
inline qint64 field(const QByteArray& text, const QByteArray& name) {
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// Every process below this one.
inline QList<qint64> descendants() {
    QHash<qint64, qint64> parents;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        parents.insert(pid, text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toLongLong());
    }
    QList<qint64> found;
    for (auto it = parents.begin(); it != parents.end(); ++it) {
        qint64 up = it.value();
        while (up > 1 && up != ::getpid())
            up = parents.value(up, 0);
        if (up == ::getpid())
            found << it.key();
    }
    return found;
}

} // namespace processtree

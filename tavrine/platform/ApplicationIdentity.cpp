#include "tavrine/platform/ApplicationIdentity.h"

#include <QFileInfo>

namespace tavrine::platform {

namespace {

QString desktopIdOfPath(const QString& path) {
    QString id = QFileInfo(path).fileName();
    if (id.endsWith(QLatin1String(".desktop")))
        id.chop(int(qstrlen(".desktop")));
    return id;
}

std::optional<QString> nonEmpty(const std::optional<QString>& text) {
    if (text && !text->trimmed().isEmpty())
        return text->trimmed();
    return std::nullopt;
}

} // namespace

ApplicationIdentity resolveApplicationIdentity(qint32 pid, const ApplicationClues& clues,
                                               const DesktopEntries& entries) {
    const QString className = clues.windowClass ? clues.windowClass->className : QString();
    const std::optional<QString> classText = className.isEmpty() ? std::nullopt : std::optional<QString>(className);
    const auto withName = [&](const QString& id, const std::optional<DesktopEntry>& entry) {
        ApplicationIdentity identity;
        identity.bundleIdentifier = id;
        identity.name = entry && !entry->name.isEmpty() ? std::optional<QString>(entry->name) : classText;
        return identity;
    };

    if (const auto gtkId = nonEmpty(clues.gtkApplicationId))
        return withName(*gtkId, entries.find(*gtkId));

    if (const auto launched = nonEmpty(clues.launchedDesktopFile); launched && clues.launchedDesktopFilePid == pid) {
        const QString id = desktopIdOfPath(*launched);
        if (!id.isEmpty()) {
            auto entry = entries.find(id);
            if (!entry && QFileInfo(*launched).isAbsolute())
                entry = DesktopEntries::readFile(*launched, id);
            return withName(id, entry);
        }
    }

    if (clues.windowClass) {
        auto entry = entries.findByStartupWmClass(clues.windowClass->className);
        if (!entry)
            entry = entries.findByStartupWmClass(clues.windowClass->instance);
        if (entry)
            return withName(entry->id, entry);
    }

    ApplicationIdentity identity;
    identity.bundleIdentifier = classText;
    identity.name = classText;
    return identity;
}

void readLaunchVariables(const QByteArray& environ, ApplicationClues& clues) {
    for (const QByteArray& entry : environ.split('\0')) {
        if (entry.startsWith("GIO_LAUNCHED_DESKTOP_FILE=")) {
            clues.launchedDesktopFile = QString::fromUtf8(entry.mid(int(qstrlen("GIO_LAUNCHED_DESKTOP_FILE="))));
        } else if (entry.startsWith("GIO_LAUNCHED_DESKTOP_FILE_PID=")) {
            bool ok = false;
            const qint32 pid = entry.mid(int(qstrlen("GIO_LAUNCHED_DESKTOP_FILE_PID="))).toInt(&ok);
            if (ok)
                clues.launchedDesktopFilePid = pid;
        }
    }
}

std::optional<quint64> readProcessStartTime(const QByteArray& stat) {
    // The command name (field 2) may hold blanks and parentheses: count from the last ')'.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // After the name, field 3 is index 0, so field 22 is index 19.
    if (fields.size() < 20)
        return std::nullopt;
    bool ok = false;
    const quint64 start = fields.at(19).toULongLong(&ok);
    return ok ? std::optional<quint64>(start) : std::nullopt;
}

} // namespace tavrine::platform

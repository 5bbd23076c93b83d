#include "tavrine/platform/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace tavrine::platform {

DesktopEntries::DesktopEntries(const QStringList& dataFolders) {
    for (const QString& folder : dataFolders) {
        const QString applications = QDir(folder).filePath(QStringLiteral("applications"));
        QDirIterator it(applications, {QStringLiteral("*.desktop")}, QDir::Files | QDir::Readable,
                        QDirIterator::Subdirectories);
        QStringList paths;
        while (it.hasNext())
            paths.append(it.next());
        paths.sort();
        for (const QString& path : paths) {
            QString id = QDir(applications).relativeFilePath(path);
            id.chop(int(qstrlen(".desktop")));
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (m_entries.contains(id))
                continue;
            if (auto entry = readFile(path, id))
                m_entries.insert(id, *entry);
        }
    }
    QStringList ids = m_entries.keys();
    ids.sort();
    for (const QString& id : ids) {
        const QString& wmClass = m_entries.value(id).startupWmClass;
        if (!wmClass.isEmpty() && !m_byWmClass.contains(wmClass))
            m_byWmClass.insert(wmClass, id);
    }
}

QStringList DesktopEntries::standardDataFolders() {
    QStringList folders;
    const QString home = qEnvironmentVariable("XDG_DATA_HOME");
    folders.append(home.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : home);
    const QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    const QStringList system = dirs.isEmpty()
                                   ? QStringList{QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")}
                                   : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    folders.append(system);
    return folders;
}

std::optional<DesktopEntry> DesktopEntries::find(const QString& id) const {
    if (const auto found = m_entries.constFind(id); found != m_entries.constEnd())
        return found.value();
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntries::findByStartupWmClass(const QString& windowClass) const {
    if (windowClass.isEmpty())
        return std::nullopt;
    if (const auto found = m_byWmClass.constFind(windowClass); found != m_byWmClass.constEnd())
        return find(found.value());
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntries::readFile(const QString& path, const QString& id) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    DesktopEntry entry;
    entry.id = id;
    bool inMainGroup = false;
    bool sawMainGroup = false;
    // Desktop files are small; a runaway file is cut off rather than read whole.
    for (int lines = 0; !file.atEnd() && lines < 4000; ++lines) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            sawMainGroup = sawMainGroup || inMainGroup;
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Name"))
            entry.name = value;
        else if (key == QLatin1String("StartupWMClass"))
            entry.startupWmClass = value;
    }
    if (!sawMainGroup)
        return std::nullopt;
    return entry;
}

} // namespace tavrine::platform

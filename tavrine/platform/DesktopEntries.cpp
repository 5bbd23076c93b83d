#include "tavrine/platform/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include "tavrine/platform/XdgLoginItem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
        if (const QString folded = id.toCaseFolded(); !m_byFoldedId.contains(folded))
            m_byFoldedId.insert(folded, id);
        if (const QString& program = m_entries.value(id).program; !program.isEmpty() && !m_byProgram.contains(program))
            m_byProgram.insert(program, id);
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

std::optional<DesktopEntry> DesktopEntries::findIgnoringCase(const QString& id) const {
    if (id.isEmpty())
        return std::nullopt;
    if (const auto found = m_byFoldedId.constFind(id.toCaseFolded()); found != m_byFoldedId.constEnd())
        return find(found.value());
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntries::findByProgram(const QString& program) const {
    if (program.isEmpty())
        return std::nullopt;
    if (const auto found = m_byProgram.constFind(program); found != m_byProgram.constEnd())
        return find(found.value());
    return std::nullopt;
}

namespace {

QString fileName(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Programs that run a script named on their command line: the script is the program the user started.
bool isInterpreter(const QString& name) {
    static const QRegularExpression interpreter(
        QStringLiteral("^(?:python|pypy|perl|ruby|wish|tclsh|node|nodejs|gjs|lua|php|sh|bash|dash|zsh)[0-9.]*$"));
    return interpreter.match(name).hasMatch();
}

// The words of an Exec value, field codes (%f, %U, ...) left out: a field code stands for what the launcher puts
// there (files, addresses, the icon), no word of its own.
QStringList execArguments(const QString& exec) {
    QStringList words = XdgLoginItem::execArguments(exec);
    static const QRegularExpression fieldCode(QStringLiteral("^%[fFuUdDnNickvm]$"));
    words.removeIf([](const QString& w) { return fieldCode.match(w).hasMatch(); });
    return words;
}

} // namespace

QString DesktopEntries::programOf(const QStringList& arguments) {
    qsizetype index = 0;
    if (index < arguments.size() && fileName(arguments.at(index)) == QLatin1String("env")) {
        ++index;
        while (index < arguments.size() &&
               (arguments.at(index).startsWith(QLatin1Char('-')) || arguments.at(index).contains(QLatin1Char('='))))
            ++index;
    }
    if (index >= arguments.size())
        return {};
    const QString program = fileName(arguments.at(index));
    if (!isInterpreter(program))
        return program;
    for (qsizetype script = index + 1; script < arguments.size(); ++script) {
        const QString& argument = arguments.at(script);
        // A program given as text runs no script of its own.
        if (argument == QLatin1String("-c") || argument == QLatin1String("-e"))
            break;
        if (!argument.startsWith(QLatin1Char('-')))
            return fileName(argument);
    }
    return program;
}

std::optional<DesktopEntry> DesktopEntries::readFile(const QString& path, const QString& id) {
    // The path may come from another process's environment and name anything: a FIFO or a device would block
    // open() or read() for ever, and a huge file would be read whole. Only a small regular file is read.
    const QByteArray native = QFile::encodeName(path);
    const int descriptor = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        return std::nullopt;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > maximumFileBytes) {
        ::close(descriptor);
        return std::nullopt;
    }
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return std::nullopt;
    }
    // A file that grew since fstat is read no further than the limit.
    const QByteArray bytes = file.read(maximumFileBytes + 1);
    if (bytes.size() > maximumFileBytes)
        return std::nullopt;
    return parse(bytes, id);
}

std::optional<DesktopEntry> DesktopEntries::parse(const QByteArray& bytes, const QString& id) {
    DesktopEntry entry;
    entry.id = id;
    bool inMainGroup = false;
    bool sawMainGroup = false;
    qsizetype position = 0;
    for (int lines = 0; position < bytes.size() && lines < maximumLines; ++lines) {
        qsizetype end = bytes.indexOf('\n', position);
        if (end < 0)
            end = bytes.size();
        const qsizetype length = end - position;
        const qsizetype start = position;
        position = end + 1;
        // No key Tavrine reads is this long; a runaway line is passed over, never decoded.
        if (length > maximumLineBytes)
            continue;
        const QString line = QString::fromUtf8(bytes.constData() + start, length).trimmed();
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
        else if (key == QLatin1String("Exec"))
            entry.program = programOf(execArguments(value));
    }
    if (!sawMainGroup)
        return std::nullopt;
    return entry;
}

} // namespace tavrine::platform

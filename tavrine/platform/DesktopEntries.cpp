#include "tavrine/platform/DesktopEntries.h"

#include "tavrine/platform/DesktopFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
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

namespace {

QString fileName(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

std::optional<DesktopEntry> DesktopEntries::findByProgram(const QString& program) const {
    if (program.isEmpty())
        return std::nullopt;
    if (const auto found = m_byProgram.constFind(program); found != m_byProgram.constEnd())
        return find(found.value());
    // "/usr/bin/python3 /usr/bin/idle" is what an entry with "Exec=idle" starts. An entry keyed by another path is
    // under that path, so it never answers here.
    if (const QString name = fileName(program); name != program) {
        if (const auto found = m_byProgram.constFind(name); found != m_byProgram.constEnd())
            return find(found.value());
    }
    return std::nullopt;
}

namespace {

// Programs that run a script named on their command line: the script is the program the user started.
bool isInterpreter(const QString& name) {
    static const QRegularExpression interpreter(
        QStringLiteral("^(?:python|pypy|perl|ruby|wish|tclsh|node|nodejs|gjs|lua|php|sh|bash|dash|zsh)[0-9.]*$"));
    return interpreter.match(name).hasMatch();
}

// The words of an Exec value, field codes (%f, %U, ...) left out: a field code stands for what the launcher puts
// there (files, addresses, the icon), no word of its own.
QStringList commandOf(const QString& exec) {
    QStringList words = DesktopEntries::execArguments(exec);
    static const QRegularExpression fieldCode(QStringLiteral("^%[fFuUdDnNickvm]$"));
    words.removeIf([](const QString& w) { return fieldCode.match(w).hasMatch(); });
    return words;
}

// Where the command that `env` runs begins in `words` (which -S may lengthen with the words of its string).
qsizetype skipEnv(QStringList& words, qsizetype index) {
    // Options whose value is the next word unless it is joined to them.
    static const QStringList longWithValue = {QStringLiteral("unset"), QStringLiteral("chdir"), QStringLiteral("argv0"),
                                              QStringLiteral("split-string")};
    const auto splice = [&words](qsizetype at, const QString& text) {
        // "-S" hands env a whole command line in one word.
        const QStringList split = QProcess::splitCommand(text);
        for (qsizetype i = 0; i < split.size(); ++i)
            words.insert(at + i, split.at(i));
    };
    while (index < words.size()) {
        const QString word = words.at(index);
        ++index;
        if (word == QLatin1String("--"))
            break;
        if (!word.startsWith(QLatin1Char('-'))) {
            // NAME=VALUE settings come before the command.
            if (word.contains(QLatin1Char('=')))
                continue;
            return index - 1;
        }
        if (word.startsWith(QLatin1String("--"))) {
            const qsizetype equals = word.indexOf(QLatin1Char('='));
            const QString name = word.mid(2, equals < 0 ? -1 : equals - 2);
            if (!longWithValue.contains(name))
                continue;
            QString value;
            if (equals >= 0)
                value = word.mid(equals + 1);
            else if (index < words.size())
                value = words.at(index++);
            if (name == QLatin1String("split-string"))
                splice(index, value);
            continue;
        }
        // A cluster of short options ("-iu NAME"): one that takes a value takes the rest of the word, else the
        // next word.
        for (qsizetype at = 1; at < word.size(); ++at) {
            const QChar option = word.at(at);
            if (option != u'u' && option != u'C' && option != u'a' && option != u'S')
                continue;
            QString value = word.mid(at + 1);
            if (value.isEmpty() && index < words.size())
                value = words.at(index++);
            if (option == u'S')
                splice(index, value);
            break;
        }
    }
    return index;
}

} // namespace

QString DesktopEntries::programOf(const QStringList& arguments) {
    QStringList words = arguments;
    qsizetype index = 0;
    if (!words.isEmpty() && fileName(words.first()) == QLatin1String("env"))
        index = skipEnv(words, 1);
    if (index >= words.size())
        return {};
    const QString program = fileName(words.at(index));
    if (!isInterpreter(program))
        return program;
    for (qsizetype script = index + 1; script < words.size(); ++script) {
        const QString& argument = words.at(script);
        // A program given as text runs no script of its own.
        if (argument == QLatin1String("-c") || argument == QLatin1String("-e"))
            break;
        // Many applications are a "main.py" of their own: only the path tells them apart.
        if (!argument.startsWith(QLatin1Char('-')))
            return argument.contains(QLatin1Char('/')) ? QDir::cleanPath(argument) : argument;
    }
    return program;
}

namespace {

// Characters that make an Exec argument need quotes.
const QString reservedCharacters = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

} // namespace

QString DesktopEntries::execValue(const QStringList& arguments) {
    QStringList quoted;
    for (const QString& argument : arguments) {
        QString word;
        const bool needsQuotes = argument.isEmpty() || std::any_of(argument.begin(), argument.end(), [](QChar c) {
                                     return reservedCharacters.contains(c);
                                 });
        if (needsQuotes) {
            word = QStringLiteral("\"");
            for (QChar c : argument) {
                if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                    word += u'\\';
                word += c;
            }
            word += u'"';
        } else {
            word = argument;
        }
        // "%" starts a field code wherever it stands.
        word.replace(u'%', QStringLiteral("%%"));
        quoted << word;
    }
    // The key file's own escapes come on top of the quoting: a backslash is written twice, and a line break
    // (legal in a path) must not end the value.
    QString value = quoted.join(u' ');
    value.replace(u'\\', QStringLiteral("\\\\"));
    value.replace(u'\n', QStringLiteral("\\n"));
    value.replace(u'\t', QStringLiteral("\\t"));
    value.replace(u'\r', QStringLiteral("\\r"));
    return value;
}

QStringList DesktopEntries::execArguments(const QString& value) {
    // The quoting of the Exec rules, then the doubled "%"; the key file's escapes are undone by its reader.
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (quoted && c == u'\\' && i + 1 < value.size()) {
            word += value[++i];
        } else if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && c == u' ') {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    for (QString& w : words)
        w.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return words;
}

namespace {

// Why a file of this kind is not read; empty for a regular file.
QString kindRefusal(mode_t mode) {
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISLNK(mode))
        return QStringLiteral("it is a symbolic link");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket");
    return QStringLiteral("it is not a regular file");
}

QString sizeRefusal() {
    return QStringLiteral("it is larger than %1 MB").arg(DesktopEntries::maximumFileBytes / (1024 * 1024));
}

} // namespace

std::optional<QByteArray> DesktopEntries::readSmallFile(const QString& path, Links links, QString* refusal) {
    // The path may name anything: a FIFO or a device would block open() or read() for ever (and opening a device
    // can set it going), and a huge file would be read whole. Only a small regular file is opened, and only after
    // a look at what is there; the open then makes sure it is still that file.
    // No such file, or a file where a folder of the path should be: nothing stands at the path.
    const auto absent = [] { return errno == ENOENT || errno == ENOTDIR; };
    const auto refuse = [&](QString reason) -> std::optional<QByteArray> {
        if (refusal)
            *refusal = std::move(reason);
        return std::nullopt;
    };
    if (refusal)
        refusal->clear();
    const QByteArray native = QFile::encodeName(path);
    struct stat before {};
    const int looked =
        links == Links::Follow ? ::stat(native.constData(), &before) : ::lstat(native.constData(), &before);
    if (looked != 0)
        return absent() ? std::nullopt : refuse(QString::fromLocal8Bit(std::strerror(errno)));
    if (QString kind = kindRefusal(before.st_mode); !kind.isEmpty())
        return refuse(kind);
    if (before.st_size > maximumFileBytes)
        return refuse(sizeRefusal());
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int descriptor = ::open(native.constData(), flags);
    if (descriptor < 0)
        return absent() ? std::nullopt : refuse(QString::fromLocal8Bit(std::strerror(errno)));
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return refuse(file.errorString());
    }
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0 || opened.st_dev != before.st_dev || opened.st_ino != before.st_ino)
        return refuse(QStringLiteral("it changed while it was opened"));
    if (QString kind = kindRefusal(opened.st_mode); !kind.isEmpty())
        return refuse(kind);
    // A file that grew since fstat is read no further than the limit.
    QByteArray bytes = file.read(maximumFileBytes + 1);
    if (bytes.size() > maximumFileBytes)
        return refuse(sizeRefusal());
    return bytes;
}

std::optional<DesktopEntry> DesktopEntries::readFile(const QString& path, const QString& id) {
    const std::optional<QByteArray> bytes = readSmallFile(path, Links::Follow);
    if (!bytes)
        return std::nullopt;
    return parse(*bytes, id);
}

std::optional<DesktopEntry> DesktopEntries::parse(const QByteArray& bytes, const QString& id) {
    const std::optional<DesktopFile> file = DesktopFile::parse(bytes);
    if (!file)
        return std::nullopt;
    DesktopEntry entry;
    entry.id = id;
    // The name the desktop shows this user.
    entry.name = file->localeString("Name").value_or(QString());
    entry.startupWmClass = file->string("StartupWMClass").value_or(QString());
    if (const std::optional<QString> exec = file->string("Exec"))
        entry.program = programOf(commandOf(*exec));
    return entry;
}

} // namespace tavrine::platform

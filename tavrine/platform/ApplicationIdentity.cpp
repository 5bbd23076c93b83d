#include "tavrine/platform/ApplicationIdentity.h"

#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"

#include <QFile>
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

namespace {

// The entry a window class names: by StartupWMClass (the class, then the instance), else by an id equal to the
// class or the instance ignoring case.
std::optional<DesktopEntry> entryOfClass(const std::optional<WindowClass>& windowClass, const DesktopEntries& entries) {
    if (!windowClass)
        return std::nullopt;
    for (const auto& lookup : {&DesktopEntries::findByStartupWmClass, &DesktopEntries::findIgnoringCase}) {
        for (const QString* name : {&windowClass->className, &windowClass->instance}) {
            if (auto entry = (entries.*lookup)(*name))
                return entry;
        }
    }
    return std::nullopt;
}

// The program the process runs, by the script's name for an interpreter; else the system's name of it.
std::optional<QString> programName(const ApplicationClues& clues) {
    if (QString program = DesktopEntries::programOf(clues.commandLine); !program.isEmpty())
        return QFileInfo(program).fileName();
    return nonEmpty(clues.processName);
}

ApplicationIdentity unboundedIdentity(qint32 pid, const ApplicationClues& clues, const DesktopEntries& entries) {
    const QString className = clues.windowClass ? clues.windowClass->className : QString();
    // Tk names every window but its root "Toplevel": that names no application.
    const bool namesTheApplication = !className.isEmpty() && className != QLatin1String("Toplevel");
    const std::optional<QString> classText =
        namesTheApplication ? std::optional<QString>(className) : programName(clues);
    const auto withName = [&](const QString& id, const std::optional<DesktopEntry>& entry) {
        ApplicationIdentity identity;
        identity.bundleIdentifier = id;
        identity.name = entry && !entry->name.isEmpty() ? std::optional<QString>(entry->name) : classText;
        return identity;
    };

    const auto gtkId = nonEmpty(clues.gtkApplicationId);
    if (gtkId) {
        if (const auto entry = entries.find(*gtkId))
            return withName(*gtkId, entry);
    }

    if (const auto launched = nonEmpty(clues.launchedDesktopFile); launched && clues.launchedDesktopFilePid == pid) {
        const QString id = desktopIdOfPath(*launched);
        if (!id.isEmpty()) {
            auto entry = entries.find(id);
            if (!entry && QFileInfo(*launched).isAbsolute())
                entry = DesktopEntries::readFile(*launched, id);
            return withName(id, entry);
        }
    }

    if (const auto entry = entryOfClass(clues.windowClass, entries))
        return withName(entry->id, entry);
    // A class that no desktop file names (Tk's, a script's): the desktop file that starts the process's program.
    if (const auto entry = entries.findByProgram(DesktopEntries::programOf(clues.commandLine)))
        return withName(entry->id, entry);
    // An application id without a desktop file still names the application better than its class.
    if (gtkId)
        return withName(*gtkId, std::nullopt);

    ApplicationIdentity identity;
    identity.bundleIdentifier = classText;
    identity.name = classText;
    return identity;
}

std::optional<QString> bounded(const std::optional<QString>& text, qsizetype limit) {
    return text ? std::optional<QString>(text::graphemePrefix(*text, limit)) : std::nullopt;
}

} // namespace

ApplicationIdentity resolveApplicationIdentity(qint32 pid, const ApplicationClues& clues,
                                               const DesktopEntries& entries) {
    // Window properties and desktop files are anyone's text: what goes on to a request is cut to size.
    const ApplicationIdentity identity = unboundedIdentity(pid, clues, entries);
    return ApplicationIdentity{bounded(identity.bundleIdentifier, evidenceLimit::appId),
                               bounded(identity.name, evidenceLimit::appName)};
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

QStringList readCommandLine(const QByteArray& cmdline) {
    QStringList arguments;
    for (const QByteArray& argument : cmdline.split('\0'))
        arguments.append(QString::fromUtf8(argument));
    // The image ends in a NUL: the last piece is empty.
    if (!arguments.isEmpty() && arguments.last().isEmpty())
        arguments.removeLast();
    return arguments;
}

QString processName(qint32 pid) {
    if (pid <= 0)
        return {};
    QFile file(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(64)).trimmed();
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

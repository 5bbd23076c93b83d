#include "tavrine/platform/XdgLoginItem.h"

#include "tavrine/core/Log.h"
#include "tavrine/platform/DesktopEntries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrine::platform {

namespace {

// A value of the entry as the desktop reads it, with the key-file escapes applied.
std::optional<QString> entryValue(const QByteArray& text, const QByteArray& key) {
    bool inMainGroup = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != key)
            continue;
        return QString::fromUtf8(line.mid(equals + 1).trimmed());
    }
    return std::nullopt;
}

bool isTrue(const std::optional<QString>& value) {
    return value && value->compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

bool isFalse(const std::optional<QString>& value) {
    return value && value->compare(QLatin1String("false"), Qt::CaseInsensitive) == 0;
}

// Whether an entry's text leaves it switched off by the desktop or the user.
bool switchedOff(const QByteArray& text) {
    return isTrue(entryValue(text, "Hidden")) || isFalse(entryValue(text, "X-GNOME-Autostart-enabled"));
}

} // namespace

XdgLoginItem::XdgLoginItem(ProgramPath programPath)
    : m_programPath(programPath ? std::move(programPath) : ProgramPath(&XdgLoginItem::defaultProgramPath)) {}

QString XdgLoginItem::entryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/com.dravolence.tavrine.desktop");
}

QString XdgLoginItem::defaultProgramPath() {
    // An AppImage runs from a temporary mount that is gone at the next login: the image itself must be started.
    const QString appImage = qEnvironmentVariable("APPIMAGE");
    if (!appImage.isEmpty())
        return appImage;
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}

std::optional<QByteArray> XdgLoginItem::readEntry() const {
    QString refusal;
    const QString path = entryPath();
    std::optional<QByteArray> text = DesktopEntries::readSmallFile(path, DesktopEntries::Links::Refuse, &refusal);
    if (!refusal.isEmpty() && refusal != m_loggedRefusal) {
        m_loggedRefusal = refusal;
        log::error(
            logLoginItem(),
            QStringLiteral("Login item entry %1 not read: %2; launch at login counts as off").arg(path, refusal));
    }
    return text;
}

LoginItem::Status XdgLoginItem::status() const {
    const std::optional<QByteArray> text = readEntry();
    if (!text) {
        if (m_programPath().isEmpty())
            return Status::NotFound;
        return Status::NotRegistered;
    }
    return switchedOff(*text) ? Status::RequiresApproval : Status::Enabled;
}

QByteArray XdgLoginItem::entryText(const QString& program) {
    const QString exec = DesktopEntries::execValue({program, QString::fromLatin1(launchedAtLoginArgument)});
    QByteArray text = "[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name=Tavrine\n"
                      "Comment=Focus assistant\n";
    text += "Exec=" + exec.toUtf8() + "\n";
    text += "StartupWMClass=com.dravolence.tavrine\n"
            "X-GNOME-Autostart-enabled=true\n";
    return text;
}

namespace {

void writeEntry(const QString& path, const QByteArray& text) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw LoginItemError(QStringLiteral("The folder %1 could not be created.").arg(folder));
    // Written beside the entry and renamed over it: whatever stood at the path (an older entry, a link, a FIFO)
    // is replaced in one step and never written through. The name does not end in ".desktop" while it is written.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open())
        throw LoginItemError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    if (file.write(text) != text.size() || !file.flush() || ::fsync(file.handle()) != 0)
        throw LoginItemError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        throw LoginItemError(
            QStringLiteral("%1 cannot be replaced: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    file.setAutoRemove(false);
}

} // namespace

void XdgLoginItem::registerItem() {
    const QString program = m_programPath();
    if (program.isEmpty())
        throw LoginItemError(QStringLiteral("Tavrine cannot tell where its own program is."));
    writeEntry(entryPath(), entryText(program));
}

bool XdgLoginItem::refreshProgramPath() {
    const QString program = m_programPath();
    if (program.isEmpty())
        return false;
    const std::optional<QByteArray> text = readEntry();
    if (!text || switchedOff(*text))
        return false;
    QList<QByteArray> lines = text->split('\n');
    bool inMainGroup = false;
    for (QByteArray& line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('['))
            inMainGroup = trimmed == "[Desktop Entry]";
        if (!inMainGroup || !trimmed.startsWith("Exec"))
            continue;
        const qsizetype equals = trimmed.indexOf('=');
        if (equals < 0 || trimmed.left(equals).trimmed() != "Exec")
            continue;
        const QStringList words = DesktopEntries::execArguments(QString::fromUtf8(trimmed.mid(equals + 1).trimmed()));
        // Only a program that is plainly gone is replaced: a command found on PATH or a wrapper the user wrote
        // is theirs.
        if (words.isEmpty() || !QFileInfo(words.first()).isAbsolute() || QFileInfo::exists(words.first()) ||
            words.first() == program)
            return false;
        QStringList arguments = words;
        arguments.first() = program;
        line = "Exec=" + DesktopEntries::execValue(arguments).toUtf8();
        try {
            writeEntry(entryPath(), lines.join('\n'));
        } catch (const LoginItemError& error) {
            log::error(logLoginItem(), QStringLiteral("Login item change failed: %1").arg(error.description()));
            return false;
        }
        return true;
    }
    return false;
}

void XdgLoginItem::unregisterItem() {
    const QByteArray path = QFile::encodeName(entryPath());
    struct stat status {};
    // A folder was never an entry; anything else goes, a link itself and never what it points at.
    if (::lstat(path.constData(), &status) != 0 || S_ISDIR(status.st_mode))
        return;
    if (::unlink(path.constData()) != 0 && errno != ENOENT)
        throw LoginItemError(QStringLiteral("%1: %2").arg(entryPath(), QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace tavrine::platform

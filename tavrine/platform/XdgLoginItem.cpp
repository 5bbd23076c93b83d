#include "tavrine/platform/XdgLoginItem.h"

#include "tavrine/core/Log.h"
#include "tavrine/platform/DesktopEntries.h"
#include "tavrine/platform/DesktopFile.h"

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

// Whether an entry leaves Tavrine switched off by the desktop or the user. An entry the desktop cannot read as a
// key file starts nothing either.
bool switchedOff(const std::optional<DesktopFile>& entry) {
    return !entry || entry->boolean("Hidden") == true || entry->boolean("X-GNOME-Autostart-enabled") == false;
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
    return switchedOff(DesktopFile::parse(*text)) ? Status::RequiresApproval : Status::Enabled;
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
    const std::optional<DesktopFile> entry = text ? DesktopFile::parse(*text) : std::nullopt;
    if (switchedOff(entry))
        return false;
    const QStringList words = DesktopEntries::execArguments(entry->string("Exec").value_or(QString()));
    // Only a program that is plainly gone is replaced: a command found on PATH or a wrapper the user wrote is
    // theirs.
    if (words.isEmpty() || !QFileInfo(words.first()).isAbsolute() || QFileInfo::exists(words.first()) ||
        words.first() == program)
        return false;
    QStringList arguments = words;
    arguments.first() = program;
    const std::optional<QByteArray> rewritten = entry->withValue("Exec", DesktopEntries::execValue(arguments).toUtf8());
    if (!rewritten) {
        log::error(logLoginItem(), QStringLiteral("Login item entry %1 starts %2, which is gone, and is left as it is: "
                                                  "%3, which a rewrite would lose")
                                       .arg(entryPath(), words.first(), entry->linesLeftOut()));
        return false;
    }
    try {
        writeEntry(entryPath(), *rewritten);
    } catch (const LoginItemError& error) {
        log::error(logLoginItem(), QStringLiteral("Login item change failed: %1").arg(error.description()));
        return false;
    }
    return true;
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

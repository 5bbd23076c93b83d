#include "tavrine/platform/XdgLoginItem.h"

#include "tavrine/core/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace tavrine::platform {

namespace {

// Characters that make an Exec argument need quotes.
const QString reservedCharacters = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

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

LoginItem::Status XdgLoginItem::status() const {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly)) {
        if (m_programPath().isEmpty())
            return Status::NotFound;
        return Status::NotRegistered;
    }
    return switchedOff(file.readAll()) ? Status::RequiresApproval : Status::Enabled;
}

QString XdgLoginItem::execValue(const QStringList& arguments) {
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

QByteArray XdgLoginItem::entryText(const QString& program) {
    const QString exec = execValue({program, QString::fromLatin1(launchedAtLoginArgument)});
    QByteArray text = "[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name=Tavrine\n"
                      "Comment=Focus assistant\n";
    text += "Exec=" + exec.toUtf8() + "\n";
    text += "StartupWMClass=com.dravolence.tavrine\n"
            "X-GNOME-Autostart-enabled=true\n";
    return text;
}

QStringList XdgLoginItem::execArguments(const QString& value) {
    // The key file's escapes first, then the quoting of the Exec rules, then the doubled "%".
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            unescaped += c;
            continue;
        }
        const QChar next = value[++i];
        unescaped += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next == u'r' ? QChar(u'\r') : next;
    }
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted && c == u'\\' && i + 1 < unescaped.size()) {
            word += unescaped[++i];
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

void writeEntry(const QString& path, const QByteArray& text) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw LoginItemError(QStringLiteral("The folder %1 could not be created.").arg(folder));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw LoginItemError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    file.write(text);
    if (!file.commit())
        throw LoginItemError(QStringLiteral("%1: %2").arg(path, file.errorString()));
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
    QFile file(entryPath());
    if (program.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll();
    file.close();
    if (switchedOff(text))
        return false;
    QList<QByteArray> lines = text.split('\n');
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
        const QStringList words = execArguments(QString::fromUtf8(trimmed.mid(equals + 1).trimmed()));
        // Only a program that is plainly gone is replaced: a command found on PATH or a wrapper the user wrote
        // is theirs.
        if (words.isEmpty() || !QFileInfo(words.first()).isAbsolute() || QFileInfo::exists(words.first()) ||
            words.first() == program)
            return false;
        QStringList arguments = words;
        arguments.first() = program;
        line = "Exec=" + execValue(arguments).toUtf8();
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
    QFile file(entryPath());
    if (!file.exists())
        return;
    if (!file.remove())
        throw LoginItemError(QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()));
}

} // namespace tavrine::platform

#include "tavrine/core/UserDefaults.h"

#include "tavrine/core/Log.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrine {

std::optional<bool> UserDefaults::boolValue(const QString& key) const {
    auto v = value(key);
    if (v && std::holds_alternative<bool>(*v))
        return std::get<bool>(*v);
    return std::nullopt;
}

std::optional<qint64> UserDefaults::integerValue(const QString& key) const {
    auto v = value(key);
    if (v && std::holds_alternative<qint64>(*v))
        return std::get<qint64>(*v);
    return std::nullopt;
}

std::optional<double> UserDefaults::doubleValue(const QString& key) const {
    auto v = value(key);
    if (v && std::holds_alternative<double>(*v))
        return std::get<double>(*v);
    if (v && std::holds_alternative<qint64>(*v))
        return double(std::get<qint64>(*v));
    return std::nullopt;
}

std::optional<QString> UserDefaults::stringValue(const QString& key) const {
    auto v = value(key);
    if (v && std::holds_alternative<QString>(*v))
        return std::get<QString>(*v);
    return std::nullopt;
}

UserDefaults& UserDefaults::standard() {
    static SettingsUserDefaults* defaults = new SettingsUserDefaults();
    return *defaults;
}

SettingsUserDefaults::SettingsUserDefaults(QObject* parent) : UserDefaults(parent) {
    // Where QSettings keeps organisation "dravolence", application "tavrine" in the INI format.
    open(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
             QStringLiteral("/dravolence/tavrine.ini"),
         FileCalls::system());
}

SettingsUserDefaults::SettingsUserDefaults(const QString& iniPath, QObject* parent) : UserDefaults(parent) {
    open(iniPath, FileCalls::system());
}

SettingsUserDefaults::SettingsUserDefaults(const QString& iniPath, const FileCalls& calls, QObject* parent)
    : UserDefaults(parent) {
    open(iniPath, calls);
}

SettingsUserDefaults::FileCalls SettingsUserDefaults::FileCalls::system() {
    FileCalls calls;
    calls.lstat = [](const QByteArray& path, struct stat* status) { return ::lstat(path.constData(), status); };
    calls.stat = [](const QByteArray& path, struct stat* status) { return ::stat(path.constData(), status); };
    calls.openForReading = [](const QByteArray& path) {
        // Never blocks: what stands at the path was a regular file a moment ago, but may be a FIFO by now.
        const int descriptor = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (descriptor < 0)
            return -1;
        ::close(descriptor);
        return 0;
    };
    return calls;
}

namespace {

QString refusalSentence(const QString& path, const QString& why) {
    return QStringLiteral("The settings file %1 was not read because %2. Tavrine runs on its defaults and saves no "
                          "settings this run; the file is left as it is.")
        .arg(path, why);
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

void SettingsUserDefaults::open(const QString& path, const FileCalls& calls) {
    if (QString problem = refusal(path, calls); !problem.isEmpty()) {
        refuse(problem);
        return;
    }
    // QSettings keeps what it parsed of a file for the process and reports a parse error only to the first store
    // that reads it: a later store on the same unchanged file is told again here.
    static QHash<QString, std::pair<QDateTime, QString>> s_unreadable;
    const QFileInfo file(path);
    if (const auto known = s_unreadable.constFind(path);
        known != s_unreadable.constEnd() && known->first == file.lastModified()) {
        refuse(known->second);
        return;
    }
    m_settings = new QSettings(path, QSettings::IniFormat);
    // QSettings parses a group only when it is first asked for: every key is asked for now, so that a file it
    // cannot read or parse is known before anything is read from it or written over it.
    (void)m_settings->allKeys();
    const QSettings::Status status = m_settings->status();
    if (status == QSettings::NoError)
        return;
    // Nothing was written: dropping it leaves the file as it is.
    delete m_settings;
    m_settings = nullptr;
    const QString problem = refusalSentence(
        path, status == QSettings::FormatError ? QStringLiteral("Qt reports it is not in the settings file format")
                                               : QStringLiteral("Qt reports it cannot be read"));
    s_unreadable.insert(path, {file.lastModified(), problem});
    refuse(problem);
}

void SettingsUserDefaults::refuse(const QString& problem) {
    m_problem = problem;
    log::error(logSession(), m_problem);
    m_fallback = new MemoryUserDefaults(this);
    connect(m_fallback, &UserDefaults::changed, this, &UserDefaults::changed);
}

QString SettingsUserDefaults::refusal(const QString& path, const FileCalls& calls) {
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    QString why;
    if (calls.lstat(native, &status) != 0) {
        // Nothing there: the first launch.
        if (errno == ENOENT)
            return {};
        why = errno == EACCES ? QStringLiteral("a folder on its path cannot be searched (%1)").arg(systemError(errno))
                              : QStringLiteral("it cannot be looked at (%1)").arg(systemError(errno));
    } else if (S_ISLNK(status.st_mode) && calls.stat(native, &status) != 0) {
        why = errno == ENOENT ? QStringLiteral("it is a link to nothing")
                              : QStringLiteral("what it links to cannot be looked at (%1)").arg(systemError(errno));
    } else if (S_ISDIR(status.st_mode)) {
        why = QStringLiteral("it is a folder, not a file");
    } else if (!S_ISREG(status.st_mode)) {
        why = QStringLiteral("it is not a regular file");
    } else if (status.st_size > largestFile) {
        why = QStringLiteral("it is larger than %1 MB").arg(largestFile / (1024 * 1024));
    } else if (calls.openForReading(native) != 0) {
        why = QStringLiteral("it cannot be opened (%1)").arg(systemError(errno));
    }
    return why.isEmpty() ? QString() : refusalSentence(path, why);
}

SettingsUserDefaults::~SettingsUserDefaults() {
    if (!m_settings)
        return;
    m_settings->sync();
    delete m_settings;
}

QString SettingsUserDefaults::encode(const DefaultValue& value) {
    if (auto* b = std::get_if<bool>(&value))
        return *b ? QStringLiteral("b:true") : QStringLiteral("b:false");
    if (auto* i = std::get_if<qint64>(&value))
        return QStringLiteral("i:") + QString::number(*i);
    if (auto* d = std::get_if<double>(&value))
        return QStringLiteral("d:") + QString::number(*d, 'g', 17);
    return QStringLiteral("s:") + std::get<QString>(value);
}

std::optional<DefaultValue> SettingsUserDefaults::decode(const QString& stored) {
    if (stored.size() < 2 || stored.at(1) != QLatin1Char(':'))
        return std::nullopt;
    const QString body = stored.mid(2);
    bool ok = false;
    switch (stored.at(0).unicode()) {
    case 'b':
        if (body == QLatin1String("true"))
            return DefaultValue(true);
        if (body == QLatin1String("false"))
            return DefaultValue(false);
        return std::nullopt;
    case 'i': {
        const qint64 i = body.toLongLong(&ok);
        return ok ? std::optional<DefaultValue>(DefaultValue(i)) : std::nullopt;
    }
    case 'd': {
        const double d = body.toDouble(&ok);
        return ok ? std::optional<DefaultValue>(DefaultValue(d)) : std::nullopt;
    }
    case 's':
        return DefaultValue(body);
    default:
        return std::nullopt;
    }
}

std::optional<DefaultValue> SettingsUserDefaults::value(const QString& key) const {
    if (m_fallback)
        return m_fallback->value(key);
    const QVariant stored = m_settings->value(key);
    if (!stored.isValid())
        return std::nullopt;
    return decode(stored.toString());
}

void SettingsUserDefaults::setValue(const QString& key, const DefaultValue& value) {
    if (m_fallback) {
        m_fallback->setValue(key, value);
        return;
    }
    const QString encoded = encode(value);
    if (m_settings->value(key).toString() == encoded && m_settings->contains(key))
        return;
    m_settings->setValue(key, encoded);
    m_settings->sync();
    emit changed(key);
}

void SettingsUserDefaults::remove(const QString& key) {
    if (m_fallback) {
        m_fallback->remove(key);
        return;
    }
    if (!m_settings->contains(key))
        return;
    m_settings->remove(key);
    m_settings->sync();
    emit changed(key);
}

QStringList SettingsUserDefaults::keys() const {
    if (m_fallback)
        return m_fallback->keys();
    QStringList keys = m_settings->allKeys();
    keys.sort();
    return keys;
}

QStringList MemoryUserDefaults::keys() const {
    QStringList keys = m_values.keys();
    keys.sort();
    return keys;
}

std::optional<DefaultValue> MemoryUserDefaults::value(const QString& key) const {
    auto it = m_values.constFind(key);
    if (it == m_values.constEnd())
        return std::nullopt;
    return *it;
}

void MemoryUserDefaults::setValue(const QString& key, const DefaultValue& value) {
    auto it = m_values.find(key);
    if (it != m_values.end() && *it == value)
        return;
    m_values.insert(key, value);
    emit changed(key);
}

void MemoryUserDefaults::remove(const QString& key) {
    if (m_values.remove(key) > 0)
        emit changed(key);
}

} // namespace tavrine

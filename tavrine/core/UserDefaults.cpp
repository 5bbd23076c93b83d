#include "tavrine/core/UserDefaults.h"

#include "tavrine/core/Log.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

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
         QStringLiteral("/dravolence/tavrine.ini"));
}

SettingsUserDefaults::SettingsUserDefaults(const QString& iniPath, QObject* parent) : UserDefaults(parent) {
    open(iniPath);
}

void SettingsUserDefaults::open(const QString& path) {
    m_problem = refusal(path);
    if (m_problem.isEmpty()) {
        m_settings = new QSettings(path, QSettings::IniFormat);
        return;
    }
    log::error(logSession(), m_problem);
    m_fallback = new MemoryUserDefaults(this);
    connect(m_fallback, &UserDefaults::changed, this, &UserDefaults::changed);
}

QString SettingsUserDefaults::refusal(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists() && !file.isSymLink())
        return {};
    QString why;
    if (file.isDir())
        why = QStringLiteral("it is a folder, not a file");
    else if (!file.isFile())
        why = QStringLiteral("it is not a regular file");
    else if (file.size() > largestFile)
        why = QStringLiteral("it is larger than %1 MB").arg(largestFile / (1024 * 1024));
    if (why.isEmpty())
        return {};
    return QStringLiteral("The settings file %1 was not read because %2. Tavrine runs on its defaults and saves no "
                          "settings this run; the file is left as it is.")
        .arg(path, why);
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

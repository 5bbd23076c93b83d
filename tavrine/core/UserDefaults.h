#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

class QSettings;
struct stat;

namespace tavrine {

// A stored preference value. An absent key is told apart from a stored false, 0 or "".
using DefaultValue = std::variant<bool, qint64, double, QString>;

// Typed preferences under plain keys. `changed` is emitted after a write or removal that changed the store.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~UserDefaults() override = default;

    virtual std::optional<DefaultValue> value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const DefaultValue& value) = 0;
    virtual void remove(const QString& key) = 0;
    // Every stored key, sorted.
    virtual QStringList keys() const = 0;

    bool contains(const QString& key) const { return value(key).has_value(); }
    // Typed reads give no value for an absent key or a value of another type.
    std::optional<bool> boolValue(const QString& key) const;
    std::optional<qint64> integerValue(const QString& key) const;
    // An integer stored under the key also reads as a double.
    std::optional<double> doubleValue(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;

    void setBool(const QString& key, bool v) { setValue(key, DefaultValue(v)); }
    void setInteger(const QString& key, qint64 v) { setValue(key, DefaultValue(v)); }
    void setDouble(const QString& key, double v) { setValue(key, DefaultValue(v)); }
    void setString(const QString& key, const QString& v) { setValue(key, DefaultValue(v)); }

    // Why the stored preferences could not be used, for the settings window; empty when they are in use.
    virtual QString problem() const { return {}; }

    // The application's store: QSettings of organisation "dravolence", application "tavrine".
    static UserDefaults& standard();

signals:
    void changed(const QString& key);
};

class MemoryUserDefaults;

// Over QSettings. The INI backend hands every scalar back as text in a new process, so each value is stored
// with a type tag ("b:", "i:", "d:", "s:") and read back with its type. A settings file that is there but cannot
// be read (not a regular file, larger than any Tavrine writes, behind a folder that cannot be searched, refused to
// open, or reported by QSettings as unreadable or malformed) is never read nor written: the store then runs on
// defaults kept in memory, and says why in `problem`. Read as empty, such a file would make every launch a first
// one and undo the user's choices.
class SettingsUserDefaults final : public UserDefaults {
    Q_OBJECT
public:
    // The calls through which the file is looked at and opened before QSettings reads it. Each answers 0 or -1
    // with errno set, as the system's own do; tests put a failure in place of one (as root, a file's mode stops
    // no read).
    struct FileCalls {
        std::function<int(const QByteArray& path, struct stat* status)> lstat;
        std::function<int(const QByteArray& path, struct stat* status)> stat;
        // Opens for reading and closes again.
        std::function<int(const QByteArray& path)> openForReading;
        static FileCalls system();
    };

    // The standard location of organisation "dravolence", application "tavrine".
    explicit SettingsUserDefaults(QObject* parent = nullptr);
    // A settings file of its own (for tests and tools).
    explicit SettingsUserDefaults(const QString& iniPath, QObject* parent = nullptr);
    SettingsUserDefaults(const QString& iniPath, const FileCalls& calls, QObject* parent = nullptr);
    ~SettingsUserDefaults() override;

    std::optional<DefaultValue> value(const QString& key) const override;
    void setValue(const QString& key, const DefaultValue& value) override;
    void remove(const QString& key) override;
    QStringList keys() const override;
    QString problem() const override { return m_problem; }

    // A few dozen short keys fit many times over.
    static constexpr qint64 largestFile = 1024 * 1024;

    static QString encode(const DefaultValue& value);
    static std::optional<DefaultValue> decode(const QString& stored);
    // Why the file at `path` must be left alone; empty when it is absent or fit to use.
    static QString refusal(const QString& path, const FileCalls& calls = FileCalls::system());

private:
    void open(const QString& path, const FileCalls& calls);
    void refuse(const QString& problem);

    QSettings* m_settings = nullptr;
    MemoryUserDefaults* m_fallback = nullptr;
    QString m_problem;
};

// In memory, for tests.
class MemoryUserDefaults final : public UserDefaults {
    Q_OBJECT
public:
    using UserDefaults::UserDefaults;
    std::optional<DefaultValue> value(const QString& key) const override;
    void setValue(const QString& key, const DefaultValue& value) override;
    void remove(const QString& key) override;
    QStringList keys() const override;

private:
    QHash<QString, DefaultValue> m_values;
};

} // namespace tavrine

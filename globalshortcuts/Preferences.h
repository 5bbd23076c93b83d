#pragma once

#include <QHash>
#include <QStringList>
#include <optional>
#include <variant>

namespace globalshortcuts {

// A stored value: absent (no optional), a Boolean, an integer, a double or a text.
using PreferenceValue = std::variant<bool, qint64, double, QString>;

// The typed key-value store the shortcuts live in. Reads must keep types across processes: a stored false is a
// Boolean after a restart, not the text "false".
class Preferences {
public:
    virtual ~Preferences() = default;
    virtual std::optional<PreferenceValue> value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const PreferenceValue& value) = 0;
    virtual void remove(const QString& key) = 0;
    // Every key the store holds, in a stable order.
    virtual QStringList keys() const = 0;
};

// In memory: the process registry's store until the application installs its own, and the tests' store.
class MemoryPreferences final : public Preferences {
public:
    std::optional<PreferenceValue> value(const QString& key) const override;
    void setValue(const QString& key, const PreferenceValue& value) override;
    void remove(const QString& key) override;
    QStringList keys() const override { return m_order; }

    int writeCount() const { return m_writes; }

private:
    QHash<QString, PreferenceValue> m_values;
    QStringList m_order;
    int m_writes = 0;
};

} // namespace globalshortcuts

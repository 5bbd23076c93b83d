#pragma once

#include <QObject>
#include <QVariant>
#include <optional>

namespace globalshortcuts {

// A typed value kept on a QObject under one dynamic property.
template <typename T> class ObjectAssociation {
public:
    explicit constexpr ObjectAssociation(const char* key) : m_key(key) {}

    // None when nothing was written or the property holds another type.
    std::optional<T> get(const QObject* object) const {
        const QVariant value = object->property(m_key);
        if (!value.isValid() || value.metaType() != QMetaType::fromType<T>())
            return std::nullopt;
        return value.value<T>();
    }
    // Writing none removes the property.
    void set(QObject* object, const std::optional<T>& value) const {
        object->setProperty(m_key, value ? QVariant::fromValue(*value) : QVariant());
    }

private:
    const char* m_key;
};

} // namespace globalshortcuts

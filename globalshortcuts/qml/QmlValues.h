#pragma once

#include "globalshortcuts/ConflictPolicy.h"
#include "globalshortcuts/Name.h"
#include "globalshortcuts/Shortcut.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace globalshortcuts {

// A shortcut or none, as QML holds it.
class ShortcutValue {
    Q_GADGET
    QML_VALUE_TYPE(shortcut)
    Q_PROPERTY(bool isEmpty READ isEmpty)
    Q_PROPERTY(double carbonKeyCode READ carbonKeyCode)
    Q_PROPERTY(double carbonModifiers READ carbonModifiers)
    Q_PROPERTY(QString text READ text)
public:
    ShortcutValue() = default;
    ShortcutValue(std::optional<Shortcut> shortcut) : value(shortcut) {}

    bool isEmpty() const { return !value; }
    double carbonKeyCode() const { return value ? double(value->carbonKeyCode) : 0; }
    double carbonModifiers() const { return value ? double(value->carbonModifiers) : 0; }
    // The shortcut as the recorder shows it ("Super+Alt+P"); "" for none.
    QString text() const;
    Q_INVOKABLE QString toString() const { return text(); }

    friend bool operator==(const ShortcutValue&, const ShortcutValue&) = default;

    std::optional<Shortcut> value;
};

// A name, whole: its initial shortcut decides whether clearing stores false or removes the value.
class ShortcutNameValue {
    Q_GADGET
    QML_VALUE_TYPE(shortcutName)
    Q_PROPERTY(QString rawValue READ rawValue)
    Q_PROPERTY(bool isEmpty READ isEmpty)
public:
    ShortcutNameValue() = default;
    ShortcutNameValue(const Name& name) : value(name) {}

    QString rawValue() const { return value ? value->rawValue() : QString(); }
    bool isEmpty() const { return !value; }
    Q_INVOKABLE QString toString() const { return rawValue(); }

    friend bool operator==(const ShortcutNameValue& a, const ShortcutNameValue& b) {
        return a.rawValue() == b.rawValue() && a.isEmpty() == b.isEmpty() &&
               (!a.value || a.value->initialShortcut() == b.value->initialShortcut());
    }

    std::optional<Name> value;
};

// What a recorder does on each kind of conflict (ShortcutPolicy.Block, .Warn, .Allow).
class ConflictPolicyValue {
    Q_GADGET
    QML_VALUE_TYPE(conflictPolicy)
    Q_PROPERTY(int menuItem READ menuItem)
    Q_PROPERTY(int systemShortcut READ systemShortcut)
    Q_PROPERTY(int disallowed READ disallowed)
public:
    ConflictPolicyValue() = default;
    ConflictPolicyValue(const ConflictPolicy& policy) : value(policy) {}

    int menuItem() const { return int(value.menuItem); }
    int systemShortcut() const { return int(value.systemShortcut); }
    int disallowed() const { return int(value.disallowed); }

    friend bool operator==(const ConflictPolicyValue&, const ConflictPolicyValue&) = default;

    ConflictPolicy value;
};

} // namespace globalshortcuts

#pragma once

#include "globalshortcuts/qml/QmlValues.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace globalshortcuts {

class Registry;

// A name's stored shortcut as a key sequence for a QML Shortcut or Action:
//     Shortcut { sequence: openShortcut.sequence }  NamedKeyboardShortcut { id: openShortcut; name: ... }
// "" while a recorder records (so the keys reach the recorder), when nothing is stored, or when the key has no
// Qt key sequence (keypad keys). Follows every change of the name and every start and end of a recording.
class NamedKeyboardShortcut : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(globalshortcuts::ShortcutNameValue name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString sequence READ sequence NOTIFY sequenceChanged)
public:
    explicit NamedKeyboardShortcut(QObject* parent = nullptr);
    NamedKeyboardShortcut(Registry& registry, QObject* parent = nullptr);

    ShortcutNameValue name() const { return m_name; }
    void setName(const ShortcutNameValue& name);
    QString sequence() const { return m_sequence; }

signals:
    void nameChanged();
    void sequenceChanged();

private:
    void renew();

    Registry& m_registry;
    ShortcutNameValue m_name;
    // As last announced: a recording already running when this was made is not known until it ends.
    bool m_isRecorderActive = false;
    QString m_sequence;
};

} // namespace globalshortcuts

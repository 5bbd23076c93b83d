#include "globalshortcuts/Texts.h"

#include <QHash>

namespace globalshortcuts {

namespace {
const QHash<QString, QString>& englishTexts() {
    static const QHash<QString, QString> texts{
        {QStringLiteral("record_shortcut"), QStringLiteral("Record Shortcut")},
        {QStringLiteral("press_shortcut"), QStringLiteral("Press Shortcut")},
        {QStringLiteral("space_key"), QStringLiteral("space")},
        {QStringLiteral("ok"), QStringLiteral("OK")},
        {QStringLiteral("force_use_shortcut"), QStringLiteral("Use Anyway")},
        // One argument: the title of the menu item.
        {QStringLiteral("keyboard_shortcut_used_by_menu_item"),
         QStringLiteral("This keyboard shortcut cannot be used because the menu item \u201C%1\u201D already uses it.")},
        {QStringLiteral("keyboard_shortcut_used_by_system"),
         QStringLiteral("This keyboard shortcut is held by the desktop or the window manager.")},
        {QStringLiteral("keyboard_shortcuts_can_be_changed"),
         QStringLiteral("Most shortcuts of the desktop can be changed in its keyboard settings or in the window "
                        "manager's configuration.")},
        {QStringLiteral("keyboard_shortcut_disallowed"),
         QStringLiteral(
             "This keyboard shortcut cannot be used: the keyboard has no key the X server can grab for it.")},
    };
    return texts;
}
} // namespace

QString localizedText(const QString& key) {
    return englishTexts().value(key, key);
}

} // namespace globalshortcuts

#include "globalshortcuts/Modifiers.h"

#include <array>
#include <utility>

namespace globalshortcuts {

namespace {
// Flag, Carbon bit, Qt modifier (none for function), name on this desktop; in the order the names are shown.
struct Row {
    ModifierFlags flag;
    qint64 carbon;
    Qt::KeyboardModifier qt;
    const char* name;
};
constexpr std::array<Row, 5> rows{{
    {Flag::command, Carbon::command, Qt::MetaModifier, "Super"},
    {Flag::control, Carbon::control, Qt::ControlModifier, "Ctrl"},
    {Flag::option, Carbon::option, Qt::AltModifier, "Alt"},
    {Flag::shift, Carbon::shift, Qt::ShiftModifier, "Shift"},
    {Flag::function, Carbon::function, Qt::NoModifier, "Fn"},
}};
} // namespace

qint64 carbonModifiersFromFlags(ModifierFlags flags) {
    qint64 carbon = 0;
    for (const Row& row : rows)
        if (flags & row.flag)
            carbon |= row.carbon;
    return carbon;
}

ModifierFlags modifierFlagsFromCarbon(qint64 carbon) {
    ModifierFlags flags = 0;
    for (const Row& row : rows)
        if (carbon & row.carbon)
            flags |= row.flag;
    return flags;
}

ModifierFlags flagsFromQtModifiers(Qt::KeyboardModifiers modifiers) {
    ModifierFlags flags = 0;
    for (const Row& row : rows)
        if (row.qt != Qt::NoModifier && modifiers.testFlag(row.qt))
            flags |= row.flag;
    if (modifiers.testFlag(Qt::KeypadModifier))
        flags |= Flag::numericPad;
    return flags;
}

Qt::KeyboardModifiers qtModifiersFromFlags(ModifierFlags flags) {
    Qt::KeyboardModifiers modifiers;
    for (const Row& row : rows)
        if (row.qt != Qt::NoModifier && (flags & row.flag))
            modifiers |= row.qt;
    if (flags & Flag::numericPad)
        modifiers |= Qt::KeypadModifier;
    return modifiers;
}

QString shortcutText(ModifierFlags flags, const QString& key) {
    QString text;
    for (const Row& row : rows)
        if (flags & row.flag)
            text += QLatin1String(row.name) + QLatin1Char('+');
    return text + key;
}

bool isFunctionKey(Qt::Key key) {
    return key >= Qt::Key_F1 && key <= Qt::Key_F35;
}

std::optional<QString> stringFromScalarValue(qint64 value) {
    if (value < 0 || value >= 0x110000 || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    const char32_t scalar = char32_t(value);
    return QString::fromUcs4(&scalar, 1);
}

} // namespace globalshortcuts

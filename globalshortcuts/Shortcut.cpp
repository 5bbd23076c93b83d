#include "globalshortcuts/Shortcut.h"

#include "globalshortcuts/KeyboardLayout.h"
#include "globalshortcuts/Texts.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace globalshortcuts {

namespace {

struct SpecialKey {
    QString displayText;
    std::optional<QString> menuKeyEquivalent;
    std::optional<Qt::Key> qtKey;
};

QString chars(std::initializer_list<char16_t> units) {
    return QString(reinterpret_cast<const QChar*>(units.begin()), qsizetype(units.size()));
}

const QHash<qint64, SpecialKey>& specialKeys() {
    static const QHash<qint64, SpecialKey> table = [] {
        QHash<qint64, SpecialKey> t;
        // Keys by the names this desktop gives them; the menu key equivalents stay the characters menus match.
        auto named = [&](Key key, const char* name, QString equivalent, Qt::Key qt) {
            t.insert(key.rawValue, {QString::fromLatin1(name), equivalent, qt});
        };
        named(Key::returnKey, "Return", chars({0x21A9}), Qt::Key_Return);
        named(Key::deleteKey, "Backspace", chars({0x232B}), Qt::Key_Backspace);
        named(Key::forwardDelete, "Delete", chars({0x2326}), Qt::Key_Delete);
        named(Key::end, "End", chars({0x2198}), Qt::Key_End);
        named(Key::escape, "Esc", chars({0x238B}), Qt::Key_Escape);
        // The key in the help position is Insert on PC keyboards.
        named(Key::help, "Insert", chars({0x003F, 0x20DD}), Qt::Key_Insert);
        named(Key::home, "Home", chars({0x2196}), Qt::Key_Home);
        named(Key::tab, "Tab", chars({0x21E5}), Qt::Key_Tab);
        named(Key::pageUp, "Page Up", chars({0x21DE}), Qt::Key_PageUp);
        named(Key::pageDown, "Page Down", chars({0x21DF}), Qt::Key_PageDown);
        named(Key::upArrow, "Up", chars({0x2191}), Qt::Key_Up);
        named(Key::rightArrow, "Right", chars({0x2192}), Qt::Key_Right);
        named(Key::downArrow, "Down", chars({0x2193}), Qt::Key_Down);
        named(Key::leftArrow, "Left", chars({0x2190}), Qt::Key_Left);
        // The space key's text is looked up when shown.
        t.insert(Key::space.rawValue, {QString(), QStringLiteral(" "), Qt::Key_Space});
        const Key functionKeys[] = {Key::f1,  Key::f2,  Key::f3,  Key::f4,  Key::f5,  Key::f6,  Key::f7,
                                    Key::f8,  Key::f9,  Key::f10, Key::f11, Key::f12, Key::f13, Key::f14,
                                    Key::f15, Key::f16, Key::f17, Key::f18, Key::f19, Key::f20};
        for (int n = 0; n < 20; ++n)
            t.insert(functionKeys[n].rawValue,
                     {QStringLiteral("F%1").arg(n + 1), QString(QChar(char16_t(0xF704 + n))), Qt::Key(Qt::Key_F1 + n)});
        const Key digits[] = {Key::keypad0, Key::keypad1, Key::keypad2, Key::keypad3, Key::keypad4,
                              Key::keypad5, Key::keypad6, Key::keypad7, Key::keypad8, Key::keypad9};
        for (int n = 0; n < 10; ++n)
            t.insert(digits[n].rawValue, {QStringLiteral("Num ") + QChar(u'0' + n), std::nullopt, std::nullopt});
        auto keypad = [&](Key key, const char* name) {
            t.insert(key.rawValue, {QStringLiteral("Num ") + QLatin1String(name), std::nullopt, std::nullopt});
        };
        keypad(Key::keypadClear, "Clear");
        keypad(Key::keypadDecimal, ".");
        keypad(Key::keypadDivide, "/");
        keypad(Key::keypadEnter, "Enter");
        keypad(Key::keypadEquals, "=");
        keypad(Key::keypadMinus, "-");
        keypad(Key::keypadMultiply, "*");
        keypad(Key::keypadPlus, "+");
        return t;
    }();
    return table;
}

// First letter of each word in upper case, as the space key's name is shown.
QString capitalized(const QString& text) {
    QString out = text;
    bool wordStart = true;
    for (QChar& c : out) {
        if (wordStart && c.isLetter())
            c = c.toUpper();
        wordStart = c.isSpace();
    }
    return out;
}

std::optional<qint64> integerMember(const QJsonObject& object, const char* name) {
    const QJsonValue value = object.value(QLatin1String(name));
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    // Integers only, and only those a double holds exactly.
    if (!std::isfinite(number) || std::trunc(number) != number || std::fabs(number) > 9007199254740992.0)
        return std::nullopt;
    return qint64(number);
}

} // namespace

Shortcut Shortcut::fromCarbon(qint64 carbonKeyCode, qint64 carbonModifiers) {
    return raw(carbonKeyCode, carbonModifiersFromFlags(modifierFlagsFromCarbon(carbonModifiers)));
}

QByteArray Shortcut::toJson() const {
    QJsonObject object;
    object.insert(QStringLiteral("carbonKeyCode"), carbonKeyCode);
    object.insert(QStringLiteral("carbonModifiers"), carbonModifiers);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<Shortcut> Shortcut::fromJson(const QString& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const auto code = integerMember(document.object(), "carbonKeyCode");
    const auto modifiers = integerMember(document.object(), "carbonModifiers");
    if (!code || !modifiers)
        return std::nullopt;
    return raw(*code, *modifiers);
}

bool Shortcut::isSpecialKey(Key key) {
    return specialKeys().contains(key.rawValue);
}

QString Shortcut::description(const KeyboardLayout& layout) const {
    QString keyText;
    if (carbonKeyCode == Key::space.rawValue)
        keyText = capitalized(localizedText(QStringLiteral("space_key")));
    else if (auto it = specialKeys().constFind(carbonKeyCode); it != specialKeys().constEnd())
        keyText = it->displayText;
    else
        keyText = capitalized(layout.character(carbonKeyCode).value_or(QString(QChar(0xFFFD))));
    return shortcutText(modifiers(), keyText);
}

std::optional<QString> Shortcut::menuKeyEquivalent(const KeyboardLayout& layout) const {
    if (auto it = specialKeys().constFind(carbonKeyCode); it != specialKeys().constEnd())
        return it->menuKeyEquivalent;
    return layout.character(carbonKeyCode);
}

std::optional<QKeySequence> Shortcut::keySequence(const KeyboardLayout& layout) const {
    Qt::Key qtKey;
    if (auto it = specialKeys().constFind(carbonKeyCode); it != specialKeys().constEnd()) {
        if (!it->qtKey)
            return std::nullopt;
        qtKey = *it->qtKey;
    } else {
        const auto character = layout.character(carbonKeyCode);
        if (!character)
            return std::nullopt;
        // Qt names a printable key by the code of its upper-case character (Key_P is 'P').
        const QList<uint> scalars = character->toUpper().toUcs4();
        if (scalars.size() != 1)
            return std::nullopt;
        qtKey = Qt::Key(scalars.first());
    }
    return QKeySequence(QKeyCombination(qtModifiersFromFlags(modifiers()), qtKey));
}

QList<const MenuNode*> Shortcut::findMenuItems(const QList<MenuNode>& menu, const KeyboardLayout& layout) const {
    QList<const MenuNode*> found;
    const auto equivalent = menuKeyEquivalent(layout);
    const ModifierFlags flags = modifiers();
    auto walk = [&](const QList<MenuNode>& items, auto& self) -> void {
        for (const MenuNode& item : items) {
            QString text = item.keyEquivalent;
            ModifierFlags mask = item.keyEquivalentModifierMask;
            // An upper-case key equivalent stands for Shift and the lower-case key.
            if ((carbonModifiers & Carbon::shift) && text != text.toLower()) {
                text = text.toLower();
                mask |= Flag::shift;
            }
            if (equivalent && *equivalent == text && flags == mask)
                found.append(&item);
            if (!item.submenu.isEmpty())
                self(item.submenu, self);
        }
    };
    walk(menu, walk);
    return found;
}

} // namespace globalshortcuts

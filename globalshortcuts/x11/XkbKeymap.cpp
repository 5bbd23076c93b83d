#include "globalshortcuts/x11/XkbKeymap.h"

#include "globalshortcuts/Shortcut.h"

#include <QHash>
#include <xkbcommon/xkbcommon.h>

namespace globalshortcuts {

namespace {

// Carbon code → XKB key name of the same position.
const QHash<qint64, QByteArray>& keyNames() {
    static const QHash<qint64, QByteArray> names{
        {0, "AC01"},   {11, "AB05"},  {8, "AB03"},   {2, "AC03"},   {14, "AD03"},  {3, "AC04"},   {5, "AC05"},
        {4, "AC06"},   {34, "AD08"},  {38, "AC07"},  {40, "AC08"},  {37, "AC09"},  {46, "AB07"},  {45, "AB06"},
        {31, "AD09"},  {35, "AD10"},  {12, "AD01"},  {15, "AD04"},  {1, "AC02"},   {17, "AD05"},  {32, "AD07"},
        {9, "AB04"},   {13, "AD02"},  {7, "AB02"},   {16, "AD06"},  {6, "AB01"},   {29, "AE10"},  {18, "AE01"},
        {19, "AE02"},  {20, "AE03"},  {21, "AE04"},  {23, "AE05"},  {22, "AE06"},  {26, "AE07"},  {28, "AE08"},
        {25, "AE09"},  {27, "AE11"},  {24, "AE12"},  {33, "AD11"},  {30, "AD12"},  {42, "BKSL"},  {41, "AC10"},
        {39, "AC11"},  {50, "TLDE"},  {43, "AB08"},  {47, "AB09"},  {44, "AB10"},  {10, "LSGT"},  {93, "AE13"},
        {94, "AB11"},  {36, "RTRN"},  {48, "TAB"},   {49, "SPCE"},  {51, "BKSP"},  {53, "ESC"},   {117, "DELE"},
        {114, "INS"},  {115, "HOME"}, {119, "END"},  {116, "PGUP"}, {121, "PGDN"}, {123, "LEFT"}, {124, "RGHT"},
        {125, "DOWN"}, {126, "UP"},   {55, "LWIN"},  {54, "RWIN"},  {56, "LFSH"},  {60, "RTSH"},  {58, "LALT"},
        {61, "RALT"},  {59, "LCTL"},  {62, "RCTL"},  {57, "CAPS"},  {74, "MUTE"},  {72, "VOL+"},  {73, "VOL-"},
        {122, "FK01"}, {120, "FK02"}, {99, "FK03"},  {118, "FK04"}, {96, "FK05"},  {97, "FK06"},  {98, "FK07"},
        {100, "FK08"}, {101, "FK09"}, {109, "FK10"}, {103, "FK11"}, {111, "FK12"}, {105, "FK13"}, {107, "FK14"},
        {113, "FK15"}, {106, "FK16"}, {64, "FK17"},  {79, "FK18"},  {80, "FK19"},  {90, "FK20"},  {82, "KP0"},
        {83, "KP1"},   {84, "KP2"},   {85, "KP3"},   {86, "KP4"},   {87, "KP5"},   {88, "KP6"},   {89, "KP7"},
        {91, "KP8"},   {92, "KP9"},   {65, "KPDL"},  {75, "KPDV"},  {76, "KPEN"},  {81, "KPEQ"},  {78, "KPSU"},
        {67, "KPMU"},  {69, "KPAD"},  {71, "NMLK"},
    };
    return names;
}

const QHash<QByteArray, qint64>& carbonByName() {
    static const QHash<QByteArray, qint64> reversed = [] {
        QHash<QByteArray, qint64> r;
        for (auto it = keyNames().constBegin(); it != keyNames().constEnd(); ++it)
            r.insert(it.value(), it.key());
        return r;
    }();
    return reversed;
}

std::optional<char32_t> levelOneCharacter(xkb_keymap* keymap, xkb_keycode_t keycode, xkb_layout_index_t group) {
    const xkb_layout_index_t groups = xkb_keymap_num_layouts_for_key(keymap, keycode);
    if (groups == 0)
        return std::nullopt;
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, keycode, group < groups ? group : 0, 0, &syms) != 1)
        return std::nullopt;
    const char32_t c = xkb_keysym_to_utf32(syms[0]);
    // Dead keys have no character of their own; control characters are not shown.
    if (c < 0x20 || c == 0x7F)
        return std::nullopt;
    return c;
}

} // namespace

XkbKeymap::XkbKeymap(xkb_keymap* keymap) : m_keymap(keymap) {}

XkbKeymap::~XkbKeymap() {
    xkb_keymap_unref(m_keymap);
}

std::unique_ptr<XkbKeymap> XkbKeymap::fromNames(const QString& layout, const QString& variant) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (!context)
        return nullptr;
    const QByteArray layoutText = layout.toUtf8();
    const QByteArray variantText = variant.toUtf8();
    xkb_rule_names names{"evdev", "pc105", layoutText.constData(), variantText.constData(), nullptr};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(context);
    return keymap ? std::make_unique<XkbKeymap>(keymap) : nullptr;
}

std::optional<quint32> XkbKeymap::keycode(qint64 carbonKeyCode) const {
    const auto it = keyNames().constFind(carbonKeyCode);
    if (it == keyNames().constEnd())
        return std::nullopt;
    const xkb_keycode_t keycode = xkb_keymap_key_by_name(m_keymap, it->constData());
    if (keycode == XKB_KEYCODE_INVALID)
        return std::nullopt;
    return keycode;
}

std::optional<qint64> XkbKeymap::carbonKeyCode(quint32 keycode) const {
    const char* name = xkb_keymap_key_get_name(m_keymap, keycode);
    if (!name)
        return std::nullopt;
    // Aliases (<AE13> may be named otherwise) resolve through the position names we know.
    const auto it = carbonByName().constFind(QByteArray(name));
    if (it != carbonByName().constEnd())
        return *it;
    for (auto known = carbonByName().constBegin(); known != carbonByName().constEnd(); ++known)
        if (xkb_keymap_key_by_name(m_keymap, known.key().constData()) == keycode)
            return known.value();
    return std::nullopt;
}

bool XkbKeymap::groupTypesAscii(quint32 group) const {
    const auto keycode = this->keycode(Key::a.rawValue);
    if (!keycode)
        return false;
    const auto c = levelOneCharacter(m_keymap, *keycode, group);
    return c && *c < 0x7F;
}

std::optional<QString> XkbKeymap::character(qint64 carbonKeyCode, quint32 currentGroup) const {
    if (Shortcut::isSpecialKey(Key(carbonKeyCode)))
        return std::nullopt;
    const auto keycode = this->keycode(carbonKeyCode);
    if (!keycode)
        return std::nullopt;
    std::optional<quint32> group;
    if (groupTypesAscii(currentGroup))
        group = currentGroup;
    for (quint32 g = 0; !group && g < xkb_keymap_num_layouts(m_keymap); ++g)
        if (groupTypesAscii(g))
            group = g;
    if (!group)
        return std::nullopt;
    const auto c = levelOneCharacter(m_keymap, *keycode, *group);
    if (!c)
        return std::nullopt;
    return QString::fromUcs4(&*c, 1);
}

bool XkbKeymap::keycodeHasKeysym(quint32 keycode, quint32 keysym) const {
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(m_keymap, keycode, 0, 0, &syms);
    for (int i = 0; i < count; ++i)
        if (syms[i] == keysym)
            return true;
    return false;
}

} // namespace globalshortcuts

#include "globalshortcuts/HotKey.h"

#include "globalshortcuts/HotKeyCenter.h"

namespace globalshortcuts {

HotKey::HotKey(HotKeyCenter* center, qint64 hotKeyId, qint64 code, qint64 modifiers, Action down, Action up)
    : carbonKeyCode(code), carbonModifiers(modifiers), onKeyDown(std::move(down)), onKeyUp(std::move(up)), id(hotKeyId),
      m_center(center) {}

HotKey::~HotKey() {
    if (m_center)
        m_center->release(*this);
}

} // namespace globalshortcuts

#include "tavrine/shell/SettingsWindowTitle.h"

namespace tavrine::shell {

void SettingsWindowTitle::setWindow(QWindow* window) {
    if (window == m_window)
        return;
    disconnect(m_watch);
    m_window = window;
    if (m_window)
        m_watch = connect(m_window, &QWindow::windowTitleChanged, this, &SettingsWindowTitle::apply);
    apply();
    emit windowChanged();
}

void SettingsWindowTitle::apply() {
    if (!m_window)
        return;
    if (m_window->objectName() != identifier)
        m_window->setObjectName(identifier);
    if (m_window->title() != title)
        m_window->setTitle(title);
}

} // namespace tavrine::shell

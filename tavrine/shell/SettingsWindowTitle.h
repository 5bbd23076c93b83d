#pragma once

#include <QObject>
#include <QPointer>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

namespace tavrine::shell {

// Keeps the settings window findable: its identifier is "settings" and its title "Settings", whatever changes
// the title later (the window is raised by that title).
class SettingsWindowTitle : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QWindow* window READ window WRITE setWindow NOTIFY windowChanged)

public:
    static inline const QString identifier = QStringLiteral("settings");
    static inline const QString title = QStringLiteral("Settings");

    using QObject::QObject;

    QWindow* window() const { return m_window; }
    void setWindow(QWindow* window);

signals:
    void windowChanged();

private:
    void apply();

    QPointer<QWindow> m_window;
    QMetaObject::Connection m_watch;
};

} // namespace tavrine::shell

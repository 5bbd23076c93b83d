#pragma once

#include "tavrine/core/Error.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QSet>
#include <QTimer>
#include <QVariantMap>

class QQmlEngine;

namespace tavrine::shell {

// A window's component did not load: start-up stops with this.
class WindowLoadError final : public Error {
public:
    explicit WindowLoadError(QString description) : m_description(std::move(description)) {}
    QString caseName() const override { return QStringLiteral("componentFailed"); }
    QString domain() const override { return QStringLiteral("tavrine.WindowLoadError"); }
    long code() const override { return 0; }
    QString description() const override { return m_description; }

private:
    QString m_description;
};

// The application's four windows, made from the components of Tavrine.Shell on one engine. A window is found
// by its identifier, which is also its objectName and its X11 WM_WINDOW_ROLE. Closing a window only hides it:
// its state survives, and closing the last one never ends the application.
class WindowSet final : public QObject {
    Q_OBJECT
public:
    struct Spec {
        QString id;
        QString component;
        // Empty: the component's own.
        QString title;
        Qt::WindowFlags flags;
        // Placed in the middle of the screen the first time it shows.
        bool centred = false;
        // Keeps its graphics context and scene graph while hidden: for a window shown often.
        bool keepsGraphicsWhenHidden = false;
    };
    static const QList<Spec>& specs();
    static const Spec* spec(const QString& id);

    // `properties` go to every window that declares them (the session, the history store …).
    WindowSet(QQmlEngine& engine, QVariantMap properties, QObject* parent = nullptr);
    ~WindowSet() override;

    // The window, built (hidden) on first need. Throws WindowLoadError when its component does not load.
    QQuickWindow* window(const QString& id);
    // The window when it was built already, else null.
    QQuickWindow* existingWindow(const QString& id) const;
    // Builds when needed, shows and brings the window forward.
    QQuickWindow* openWindow(const QString& id);
    // Every window built so far.
    QList<QQuickWindow*> builtWindows() const;

    // Builds the window, unless built already, and draws it once out of sight, hidden again at once (on X11;
    // elsewhere it is only built): what its first showing would make for the first time in the process (its
    // items, their layout, the pages its memory takes, the driver's code) is made then, and that showing waits as
    // long as a later one. A window that does not load says so when it is opened.
    void drawAhead(const QString& id);

    // Gives the memory freed since back to the system a moment from now: after building something ahead, whose
    // compiling leaves freed memory behind as a window's showing does.
    void releaseFreedMemorySoon();

    // Asks the window manager to bring `window` to the front with the keyboard focus.
    static void activate(QQuickWindow* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QQuickWindow* build(const Spec& spec);
    static void centre(QQuickWindow* window);

    QQmlEngine& m_engine;
    QVariantMap m_properties;
    QHash<QString, QQuickWindow*> m_windows;
    QSet<QQuickWindow*> m_placed;
    // Gives memory freed by the windows' graphics back to the system once they have shown or hidden.
    QTimer m_trim;
};

} // namespace tavrine::shell

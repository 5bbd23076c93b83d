#pragma once

#include <QList>
#include <QObject>
#include <QQmlEngine>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <memory>

class QQuickItem;
class QQuickWindow;

namespace tavrine::ui {
class CaretBlink;
}

namespace tavrine::test {

// Every QML warning (binding errors, type errors, console.warn, failed loads) while it lives. A view test keeps
// one for its whole run and expects none: a warning is a fault.
class QmlWarnings {
public:
    QmlWarnings();
    ~QmlWarnings();
    QmlWarnings(const QmlWarnings&) = delete;
    QmlWarnings& operator=(const QmlWarnings&) = delete;

    QStringList messages() const;
    void clear();

private:
    QtMessageHandler m_previous = nullptr;
};

// One engine set up as the application's (qrc:/ on the import path), reporting its warnings to a QmlWarnings.
class QmlHarness {
public:
    QmlHarness();
    ~QmlHarness();

    QQmlEngine& engine() { return m_engine; }
    // Creates the component at `url` (a module component: ui::componentUrl) with its initial properties; fails
    // the running test and returns null when it does not load.
    std::unique_ptr<QObject> create(const QUrl& url, const QVariantMap& properties = {});
    // Creates a component from QML text (imports included), for small wrappers around a view.
    std::unique_ptr<QObject> createFromText(const QByteArray& qml, const QVariantMap& properties = {});
    // The warnings so far; a test ends with EXPECT_TRUE(h.warnings().isEmpty()).
    QStringList warnings() const { return m_warnings.messages(); }

private:
    QmlWarnings m_warnings;
    QQmlEngine m_engine;
};

// The item (or object) named `objectName` under `root`, or null.
QQuickItem* findItem(QObject* root, const QString& objectName);
QObject* findObject(QObject* root, const QString& objectName);

// Puts `item` in an offscreen window of its implicit size (or `width` × `height`), shows it and waits until
// it is exposed; the window owns nothing of the item's and is deleted with the returned pointer.
std::unique_ptr<QQuickWindow> showInWindow(QQuickItem* item, int width = 0, int height = 0);

// Steps `blink` until it stands still (at most 1000 steps), expecting `caret` shown exactly while the blink shows
// it at every step; returns how many steps it blinked.
int stepsUntilStill(ui::CaretBlink* blink, QQuickItem* caret);

} // namespace tavrine::test

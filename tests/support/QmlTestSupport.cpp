#include "support/QmlTestSupport.h"

#include "support/TestSupport.h"
#include "tavrine/ui/CaretBlink.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QMutex>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

namespace tavrine::test {

namespace {

QMutex warningsLock;
QStringList* collected = nullptr;

bool isQmlMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg)
        return false;
    const QByteArray category = context.category ? QByteArray(context.category) : QByteArray();
    if (category.startsWith("qt.qml") || category == "qml" || category == "js" || category.startsWith("qt.quick"))
        return true;
    // The engine prints binding and type errors on the default category, prefixed with the file's address.
    return message.contains(QLatin1String("qrc:/")) || message.contains(QLatin1String(".qml:")) ||
           message.startsWith(QLatin1String("<Unknown File>"));
}

} // namespace

QmlWarnings::QmlWarnings() {
    QMutexLocker lock(&warningsLock);
    collected = new QStringList;
    m_previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& msg) {
        {
            QMutexLocker inner(&warningsLock);
            if (collected && isQmlMessage(type, context, msg))
                collected->append(msg);
        }
        fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, msg)));
    });
}

QmlWarnings::~QmlWarnings() {
    qInstallMessageHandler(m_previous);
    QMutexLocker lock(&warningsLock);
    delete collected;
    collected = nullptr;
}

QStringList QmlWarnings::messages() const {
    QMutexLocker lock(&warningsLock);
    return collected ? *collected : QStringList();
}

void QmlWarnings::clear() {
    QMutexLocker lock(&warningsLock);
    if (collected)
        collected->clear();
}

QmlHarness::QmlHarness() {
    ui::setUpQmlEngine(m_engine);
}

QmlHarness::~QmlHarness() = default;

std::unique_ptr<QObject> QmlHarness::create(const QUrl& url, const QVariantMap& properties) {
    QQmlComponent component(&m_engine, url);
    if (component.isError()) {
        ADD_FAILURE() << component.errorString().toStdString();
        return nullptr;
    }
    std::unique_ptr<QObject> object(component.createWithInitialProperties(properties));
    if (!object)
        ADD_FAILURE() << component.errorString().toStdString();
    return object;
}

std::unique_ptr<QObject> QmlHarness::createFromText(const QByteArray& qml, const QVariantMap& properties) {
    QQmlComponent component(&m_engine);
    component.setData(qml, QUrl(QStringLiteral("qrc:/test/Wrapper.qml")));
    if (component.isError()) {
        ADD_FAILURE() << component.errorString().toStdString();
        return nullptr;
    }
    std::unique_ptr<QObject> object(component.createWithInitialProperties(properties));
    if (!object)
        ADD_FAILURE() << component.errorString().toStdString();
    return object;
}

QObject* findObject(QObject* root, const QString& objectName) {
    if (!root)
        return nullptr;
    if (root->objectName() == objectName)
        return root;
    if (auto* found = root->findChild<QObject*>(objectName))
        return found;
    // Visual children of an item are not always its QObject children.
    if (auto* item = qobject_cast<QQuickItem*>(root)) {
        for (QQuickItem* child : item->childItems())
            if (QObject* found = findObject(child, objectName))
                return found;
    }
    if (auto* window = qobject_cast<QQuickWindow*>(root))
        return findObject(window->contentItem(), objectName);
    return nullptr;
}

QQuickItem* findItem(QObject* root, const QString& objectName) {
    return qobject_cast<QQuickItem*>(findObject(root, objectName));
}

std::unique_ptr<QQuickWindow> showInWindow(QQuickItem* item, int width, int height) {
    auto window = std::make_unique<QQuickWindow>();
    const int w = width > 0 ? width : std::max(1, int(std::ceil(item->implicitWidth())));
    const int h = height > 0 ? height : std::max(1, int(std::ceil(item->implicitHeight())));
    window->resize(w, h);
    item->setParentItem(window->contentItem());
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get(), desktopWaitMs))
        ADD_FAILURE() << "the window was never exposed";
    return window;
}

int stepsUntilStill(ui::CaretBlink* blink, QQuickItem* caret) {
    int steps = 0;
    for (; blink->blinking() && steps < 1000; ++steps) {
        blink->step();
        EXPECT_EQ(caret->isVisible(), blink->shown());
    }
    return steps;
}

} // namespace tavrine::test

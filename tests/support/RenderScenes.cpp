#include "support/RenderScenes.h"
#include "support/ViewPictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMetaProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTest>

namespace tavrine::test {

namespace {

void collectNamed(QQuickItem* item, const QString& objectName, QList<QQuickItem*>& found) {
    if (item->objectName() == objectName)
        found.append(item);
    for (QQuickItem* child : item->childItems())
        collectNamed(child, objectName, found);
}

// A folder QTemporaryDir made ("<temp>/<application>-XXXXXX") named the same in every run and on every machine.
void steadyTemporaryFolders(QQuickItem* item, const QRegularExpression& folder, const QString& fixed) {
    const QMetaObject* meta = item->metaObject();
    const int index = meta->indexOfProperty("text");
    if (index >= 0) {
        const QMetaProperty text = meta->property(index);
        if (text.isWritable() && text.metaType().id() == QMetaType::QString) {
            const QString shown = text.read(item).toString();
            if (shown.contains(folder))
                text.write(item, QString(shown).replace(folder, fixed));
        }
    }
    for (QQuickItem* child : item->childItems())
        steadyTemporaryFolders(child, folder, fixed);
}

} // namespace

std::vector<RenderScene>& renderScenes() {
    static std::vector<RenderScene> scenes;
    return scenes;
}

QDateTime sceneNow() {
    return QDateTime(QDate(2026, 12, 9), QTime(14, 20), Qt::UTC);
}

bool tapItem(QQuickWindow& window, const QString& objectName, int nth) {
    QList<QQuickItem*> found;
    collectNamed(window.contentItem(), objectName, found);
    if (nth < 0 || nth >= found.size())
        return false;
    QQuickItem* item = found.at(nth);
    const QPoint middle = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mouseClick(&window, Qt::LeftButton, {}, middle);
    return true;
}

QImage settledPicture(QQuickWindow& window) {
    const QRegularExpression folder(QRegularExpression::escape(QDir::tempPath()) + QLatin1Char('/') +
                                    QRegularExpression::escape(QCoreApplication::applicationName()) +
                                    QStringLiteral("-[A-Za-z0-9]{6}"));
    steadyTemporaryFolders(window.contentItem(), folder,
                           QStringLiteral("/tmp/") + QCoreApplication::applicationName() + QStringLiteral("-folder"));
    // Settled: the same picture drawn over 700 ms (a scroll bar waits 450 ms before it fades out), as far as the
    // reference pictures tell (a blinking caret is no change there). Times are taken as each drawing starts: on a
    // slow machine drawing takes a while, and what it shows is the moment it began.
    QElapsedTimer clock;
    clock.start();
    QImage picture = window.grabWindow();
    QImage steady = reducedPicture(picture);
    qint64 steadySince = 0;
    qint64 drawnAt = 0;
    while (drawnAt - steadySince < 700 && clock.elapsed() < 4000) {
        QTest::qWait(100);
        drawnAt = clock.elapsed();
        picture = window.grabWindow();
        if (!compareWithReference(steady, picture).matches) {
            steady = reducedPicture(picture);
            steadySince = drawnAt;
        }
    }
    return picture;
}

} // namespace tavrine::test

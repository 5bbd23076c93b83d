#include "tavrine/ui/QmlEngineSetup.h"

#include <QQmlEngine>

namespace tavrine::ui {

void setUpQmlEngine(QQmlEngine& engine) {
    engine.addImportPath(QStringLiteral("qrc:/"));
}

QUrl componentUrl(const QString& uri, const QString& component) {
    QString path = uri;
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    return QUrl(QStringLiteral("qrc:/") + path + QLatin1Char('/') + component + QStringLiteral(".qml"));
}

} // namespace tavrine::ui

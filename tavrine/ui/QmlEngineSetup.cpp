#include "tavrine/ui/QmlEngineSetup.h"

#include <QQmlEngine>
#include <QQuickStyle>

namespace tavrine::ui {

void setUpQmlEngine(QQmlEngine& engine) {
    // One Qt Quick Controls style for every view that imports QtQuick.Controls: Basic, which loads alone (the
    // platform's default, Fusion, brings Basic along as its fallback) and which every view dresses in the
    // desktop's colours itself. Set before the first import, once per process, and over a style the environment
    // names.
    static const bool styled = [] {
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        return true;
    }();
    Q_UNUSED(styled);
    engine.addImportPath(QStringLiteral("qrc:/"));
}

QUrl componentUrl(const QString& uri, const QString& component) {
    QString path = uri;
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    return QUrl(QStringLiteral("qrc:/") + path + QLatin1Char('/') + component + QStringLiteral(".qml"));
}

} // namespace tavrine::ui

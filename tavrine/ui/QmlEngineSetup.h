#pragma once

#include <QUrl>

class QQmlEngine;

namespace tavrine::ui {

// Every QML module of the application lives under qrc:/ (Tavrine.Ui at qrc:/Tavrine/Ui/ …). Qt 6.4 does not
// look there on its own.
void setUpQmlEngine(QQmlEngine& engine);

// The qrc: address of a component of a module: componentUrl("Tavrine.Ui", "PillButton").
QUrl componentUrl(const QString& uri, const QString& component);

} // namespace tavrine::ui

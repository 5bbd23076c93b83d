#pragma once

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace tavrine::ui {

// Colours the whole application shares. One instance per engine; the values never change.
class AppStyle final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QColor accentColor READ accentColor CONSTANT)

public:
    using QObject::QObject;

    // The application's tint: the main window, the headline, the settings window, the history window.
    static QColor accentColor();
    // Whether a form's or an onboarding page's button asked as `prominent` is drawn prominent, after
    // adaptiveButtonStyle: on this desktop the bordered style is the pill and the prominent one the accent
    // capsule (AdaptiveButton).
    Q_INVOKABLE static bool adaptiveButtonProminent(bool prominent);
};

} // namespace tavrine::ui

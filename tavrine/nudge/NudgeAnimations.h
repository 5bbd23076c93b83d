#pragma once

#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tavrine::nudge {

// The nudge views' timing curves for QML's easing.bezierCurve.
class NudgeAnimations : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QVariantList easeOut READ easeOut CONSTANT)
    Q_PROPERTY(QVariantList easeIn READ easeIn CONSTANT)
    Q_PROPERTY(QVariantList easeInOut READ easeInOut CONSTANT)
public:
    using QObject::QObject;
    static QVariantList easeOut();
    static QVariantList easeIn();
    static QVariantList easeInOut();
};

} // namespace tavrine::nudge

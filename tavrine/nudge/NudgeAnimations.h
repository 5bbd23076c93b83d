#pragma once

#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tavrine::nudge {

// The nudge views' timing curves for QML's easing.bezierCurve, and the springs' lengths in milliseconds.
class NudgeAnimations : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QVariantList easeOut READ easeOut CONSTANT)
    Q_PROPERTY(QVariantList easeIn READ easeIn CONSTANT)
    Q_PROPERTY(QVariantList easeInOut READ easeInOut CONSTANT)
    Q_PROPERTY(QVariantList openSpring READ openSpring CONSTANT)
    Q_PROPERTY(int openSpringDuration READ openSpringDuration CONSTANT)
    Q_PROPERTY(QVariantList closeSpring READ closeSpring CONSTANT)
    Q_PROPERTY(int closeSpringDuration READ closeSpringDuration CONSTANT)
    Q_PROPERTY(QVariantList reasonSpring READ reasonSpring CONSTANT)
    Q_PROPERTY(int reasonSpringDuration READ reasonSpringDuration CONSTANT)
public:
    using QObject::QObject;
    static QVariantList easeOut();
    static QVariantList easeIn();
    static QVariantList easeInOut();
    static QVariantList openSpring();
    static int openSpringDuration();
    static QVariantList closeSpring();
    static int closeSpringDuration();
    static QVariantList reasonSpring();
    static int reasonSpringDuration();
};

} // namespace tavrine::nudge

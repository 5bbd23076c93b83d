#pragma once

#include <QColor>
#include <QObject>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace tavrine::onboarding {

// The rehearsal's mock world for QML: its colours (forced light, never the palette), the timing of a beat
// change, and the per-beat tables of the pointer and the mock pages.
class Scenery : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QColor rehearsalInk READ rehearsalInk CONSTANT)
    Q_PROPERTY(QColor rehearsalHairline READ rehearsalHairline CONSTANT)
    Q_PROPERTY(QColor rehearsalBlue READ rehearsalBlue CONSTANT)
    Q_PROPERTY(QColor rehearsalVideoDark READ rehearsalVideoDark CONSTANT)
    Q_PROPERTY(QColor rehearsalWhite READ rehearsalWhite CONSTANT)
    Q_PROPERTY(QColor rehearsalWhiteMuted READ rehearsalWhiteMuted CONSTANT)
    Q_PROPERTY(QColor rehearsalWhiteFaint READ rehearsalWhiteFaint CONSTANT)
    Q_PROPERTY(QColor standardOrange READ standardOrange CONSTANT)
    Q_PROPERTY(QColor standardPink READ standardPink CONSTANT)
    Q_PROPERTY(QColor violet READ violet CONSTANT)
    Q_PROPERTY(QColor coachInk READ coachInk CONSTANT)
    Q_PROPERTY(QColor coachSkipGrey READ coachSkipGrey CONSTANT)
    Q_PROPERTY(QVariantList beatSpringCurve READ beatSpringCurve CONSTANT)
    Q_PROPERTY(int beatSpringDuration READ beatSpringDuration CONSTANT)
    Q_PROPERTY(QVariantList easeInOut READ easeInOut CONSTANT)
    Q_PROPERTY(QVariantList easeOut READ easeOut CONSTANT)
public:
    using QObject::QObject;

    static QColor rehearsalInk() { return QColor::fromRgbF(0.12f, 0.14f, 0.18f); }
    static QColor rehearsalHairline() { return sceneryColor(Qt::black, 0.08); }
    static QColor rehearsalBlue() { return QColor::fromRgbF(0.05f, 0.52f, 1.0f); }
    static QColor rehearsalVideoDark() { return QColor::fromRgbF(0.06f, 0.06f, 0.06f); }
    static QColor rehearsalWhite() { return Qt::white; }
    static QColor rehearsalWhiteMuted() { return sceneryColor(Qt::white, 0.6); }
    static QColor rehearsalWhiteFaint() { return sceneryColor(Qt::white, 0.1); }
    static QColor standardOrange() { return QColor::fromRgbF(1.0f, 0.58f, 0.0f); }
    static QColor standardPink() { return QColor::fromRgbF(1.0f, 0.18f, 0.33f); }
    static QColor violet() { return QColor::fromRgbF(0.42f, 0.36f, 1.0f); }
    static QColor coachInk() { return QColor::fromRgbF(0.09f, 0.09f, 0.09f); }
    static QColor coachSkipGrey() { return sceneryColor(Qt::black, 0.5); }

    // `base` at `opacity` (its own alpha replaced).
    Q_INVOKABLE static QColor sceneryColor(const QColor& base, double opacity);

    // The damped spring (response 0.6 s, damping fraction 0.84) a beat changes in, as a BezierSpline easing
    // over beatSpringDuration milliseconds, overshoot included, in at most maxBezierSegments segments.
    static QVariantList beatSpringCurve();
    static constexpr int maxBezierSegments = 10;
    static int beatSpringDuration();
    static QVariantList easeInOut();
    static QVariantList easeOut();

    // The pointer's state on a beat: onTask, tint, label, accessibleLabel, opacity.
    Q_INVOKABLE static QVariantMap pointerState(int beat);
    // progress, features, reviews, headlineSelected.
    Q_INVOKABLE static QVariantMap designPageState(int beat);
    // headlineSelected, featureRow, featureRowSelected, review.
    Q_INVOKABLE static QVariantMap landingPageParts(int progress);
};

} // namespace tavrine::onboarding

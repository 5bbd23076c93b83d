#pragma once

#include "tavrine/history/SessionTimeline.h"

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace tavrine {

// The colours of finished sessions: the timeline's kinds and the recap card's ink and paper. The same values in
// C++ (the painted strip, the share image's margin) and in QML.
class SessionColors final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QColor relatedColor READ relatedColor CONSTANT)
    Q_PROPERTY(QColor detourColor READ detourColor CONSTANT)
    Q_PROPERTY(QColor recapInk READ recapInk CONSTANT)
    Q_PROPERTY(QColor recapPaper READ recapPaper CONSTANT)

public:
    using QObject::QObject;

    static QColor relatedColor() { return QColor::fromRgbF(0.46f, 0.73f, 0.54f); }
    static QColor detourColor() { return QColor::fromRgbF(0.89f, 0.27f, 0.25f); }
    static QColor recapInk() { return QColor::fromRgbF(0.043f, 0.043f, 0.047f); }
    static QColor recapPaper() { return QColor::fromRgbF(0.953f, 0.937f, 0.906f); }
    // The kind colour of the timeline; pause and gap take the secondary grey.
    static QColor kindColor(SessionTimeline::Kind kind);
};

} // namespace tavrine

#pragma once

#include "tavrine/history/SessionSummary.h"

#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tavrine {

// The texts of the recap card for one summary; SessionRecapCard.qml lays them out, RecapStrip paints the strip.
class RecapCardModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the recap")
    Q_PROPERTY(QString headerDate READ headerDate NOTIFY summaryChanged)
    Q_PROPERTY(QString minutesText READ minutesText NOTIFY summaryChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY summaryChanged)
    Q_PROPERTY(QVariantList rows READ rows NOTIFY summaryChanged)
    Q_PROPERTY(QVariantList furtherDetours READ furtherDetours NOTIFY summaryChanged)
    // Styled text whose every part is escaped: show it as Text.StyledText.
    Q_PROPERTY(QString calloutText READ calloutText NOTIFY summaryChanged)
    Q_PROPERTY(QString wordmarkName READ wordmarkName CONSTANT)

public:
    explicit RecapCardModel(QObject* parent = nullptr);

    const SessionSummary& summary() const { return m_summary; }
    void setSummary(const SessionSummary& summary);

    QString headerDate() const;
    QString minutesText() const;
    QString statusText() const;
    QVariantList rows() const;
    QVariantList furtherDetours() const;
    QString calloutText() const;
    QString wordmarkName() const { return tr("tavrine"); }

signals:
    void summaryChanged();

private:
    SessionSummary m_summary;
};

} // namespace tavrine

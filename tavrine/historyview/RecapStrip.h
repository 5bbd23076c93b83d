#pragma once

#include "tavrine/historyview/RecapCardModel.h"

#include <QPointer>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace tavrine {

// The recap card's strip: the track, related time in ink and detours over it, from recapStripBars.
class RecapStrip : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(tavrine::RecapCardModel* card READ card WRITE setCard NOTIFY cardChanged)

public:
    explicit RecapStrip(QQuickItem* parent = nullptr);

    RecapCardModel* card() const { return m_card; }
    void setCard(RecapCardModel* card);
    void paint(QPainter* painter) override;

signals:
    void cardChanged();

private:
    QPointer<RecapCardModel> m_card;
};

} // namespace tavrine

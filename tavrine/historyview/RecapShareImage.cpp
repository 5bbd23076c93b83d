#include "tavrine/historyview/RecapShareImage.h"

#include "tavrine/core/Log.h"
#include "tavrine/historyview/RecapCardModel.h"
#include "tavrine/historyview/SessionColors.h"
#include "tavrine/model/ImageData.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <memory>

namespace tavrine {

std::optional<QImage> renderShareCard(const SessionSummary& summary, QQmlEngine& engine) {
    RecapCardModel card;
    card.setSummary(summary);
    QQuickWindow window;
    window.setColor(SessionColors::recapInk());
    // The window's own pixel ratio multiplies what it grabs; lay the card out so that the product is 3.
    const double dpr = window.effectiveDevicePixelRatio() > 0 ? window.effectiveDevicePixelRatio() : 1.0;
    QQmlComponent component(
        &engine, ui::componentUrl(QStringLiteral("Tavrine.HistoryView"), QStringLiteral("RecapShareContent")));
    if (!component.isReady()) {
        qCWarning(logHistory) << "Share image: the card could not be loaded" << component.errorString();
        return std::nullopt;
    }
    std::unique_ptr<QObject> object(
        component.createWithInitialProperties({{QStringLiteral("card"), QVariant::fromValue(&card)},
                                               {QStringLiteral("unit"), RecapShareImage::scale / dpr}}));
    auto* content = qobject_cast<QQuickItem*>(object.get());
    if (!content) {
        qCWarning(logHistory) << "Share image: the card could not be made" << component.errorString();
        return std::nullopt;
    }
    content->setParentItem(window.contentItem());
    const QSize size(qRound(content->width()), qRound(content->height()));
    window.resize(size);
    // A window that is never shown renders into its own offscreen target when grabbed.
    QImage image = window.grabWindow();
    if (image.isNull()) {
        qCWarning(logHistory) << "Share image: nothing was rendered";
        return std::nullopt;
    }
    image = image.convertToFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(RecapShareImage::scale);
    return image;
}

std::optional<RecapShareImage> shareImageOf(const QImage& card) {
    std::optional<QByteArray> png = encodeImageData(card);
    if (!png)
        return std::nullopt;
    return RecapShareImage{*png, card};
}

std::optional<RecapShareImage> makeShareImage(const SessionSummary& summary, QQmlEngine& engine) {
    const std::optional<QImage> card = renderShareCard(summary, engine);
    return card ? shareImageOf(*card) : std::nullopt;
}

} // namespace tavrine

#include "tavrine/ui/TrayLabel.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace tavrine::ui {

QString labelAccessibilityText(const TrayLabelState& state) {
    if (!state.showsTime)
        return QStringLiteral("Tavrine");
    QString text = QStringLiteral("Focus time remaining, ") + state.remainingText;
    switch (state.background) {
    case MenuBarSessionBackground::None:
        break;
    case MenuBarSessionBackground::Relevant:
        text += QStringLiteral(", relevant work");
        break;
    case MenuBarSessionBackground::Unrelated:
        text += QStringLiteral(", unrelated work");
        break;
    case MenuBarSessionBackground::DriftPending:
        text += QStringLiteral(", checking after drift");
        break;
    }
    return text;
}

QString trayMinuteText(const QString& remainingText) {
    const qsizetype colon = remainingText.indexOf(QLatin1Char(':'));
    bool ok = false;
    const int minutes = remainingText.left(colon < 0 ? remainingText.size() : colon).trimmed().toInt(&ok);
    return ok && minutes > 0 ? QString::number(minutes) : QStringLiteral("0");
}

std::optional<QColor> trayTint(MenuBarSessionBackground background) {
    switch (background) {
    case MenuBarSessionBackground::None:
        return std::nullopt;
    case MenuBarSessionBackground::Relevant:
        return QColor::fromRgbF(0.75f, 0.91f, 0.76f);
    case MenuBarSessionBackground::Unrelated:
        return QColor::fromRgbF(0.97f, 0.80f, 0.80f);
    case MenuBarSessionBackground::DriftPending:
        return QColor::fromRgbF(0.98f, 0.87f, 0.64f);
    }
    return std::nullopt;
}

QImage TrayIconRenderer::render(const TrayLabelState& state, const QColor& textColor) {
    Key key;
    key.showsTime = state.showsTime;
    if (state.showsTime) {
        key.minutes = trayMinuteText(state.remainingText);
        if (const auto tint = trayTint(state.background))
            key.tint = tint->rgba();
    }
    // On a tint the text is dark grey whatever the palette: the tints are pale in both schemes.
    key.color = key.tint ? QColor::fromRgbF(0.18f, 0.18f, 0.18f).rgba() : textColor.rgba();
    if (m_key && *m_key == key)
        return m_image;
    m_image = draw(key);
    m_key = key;
    ++m_drawings;
    return m_image;
}

std::optional<QImage> TrayIconRenderer::imageIfChanged(const TrayLabelState& state, const QColor& textColor) {
    const QImage image = render(state, textColor);
    if (!m_handedOut.isNull() && (image.cacheKey() == m_handedOut.cacheKey() || image == m_handedOut))
        return std::nullopt;
    m_handedOut = image;
    return image;
}

QImage TrayIconRenderer::draw(const Key& key) const {
    QImage image(iconSize, iconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF square(0, 0, iconSize, iconSize);
    if (!key.showsTime) {
        // The artwork is black; the palette's text colour is laid over its own pixels only.
        QSvgRenderer svg(QStringLiteral(":/icons/MenuBarIcon.svg"));
        svg.render(&painter, square.adjusted(4, 4, -4, -4));
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(square, QColor::fromRgba(key.color));
        return image;
    }
    if (key.tint) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgba(*key.tint));
        painter.drawEllipse(square.adjusted(1, 1, -1, -1));
    }
    QFont font = QGuiApplication::font();
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setPixelSize(iconSize * 9 / 16);
    // Three digits (two hours or more) must still fit inside the pill.
    const qreal room = iconSize * 0.78;
    const qreal width = QFontMetricsF(font).horizontalAdvance(key.minutes);
    if (width > room)
        font.setPixelSize(std::max(8, int(font.pixelSize() * room / width)));
    painter.setFont(font);
    painter.setPen(QColor::fromRgba(key.color));
    painter.drawText(square, Qt::AlignCenter, key.minutes);
    return image;
}

} // namespace tavrine::ui

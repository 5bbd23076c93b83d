#pragma once

#include <QColor>
#include <QList>
#include <QQuickPaintedItem>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tavrine::onboarding {

// A rounded rectangle filled from its top-left corner to its bottom-right one through `colors`, spaced evenly.
// Painted on the CPU so that it shows under every renderer the app meets: a shader effect draws nothing under
// the software scene graph. The picture is redrawn only when its size, colours or radius change; a scale
// animation around it only stretches the texture.
class DiagonalGradient : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantList colors READ colorValues WRITE setColorValues NOTIFY colorsChanged)
    Q_PROPERTY(double radius READ radius WRITE setRadius NOTIFY radiusChanged)

public:
    explicit DiagonalGradient(QQuickItem* parent = nullptr);

    QVariantList colorValues() const;
    // Entries that are not colours are left out.
    void setColorValues(const QVariantList& values);
    QList<QColor> colors() const { return m_colors; }
    double radius() const { return m_radius; }
    void setRadius(double radius);

    void paint(QPainter* painter) override;

signals:
    void colorsChanged();
    void radiusChanged();

private:
    QList<QColor> m_colors;
    double m_radius = 0.0;
};

} // namespace tavrine::onboarding

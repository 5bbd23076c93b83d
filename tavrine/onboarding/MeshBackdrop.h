#pragma once

#include "tavrine/onboarding/OnboardingPages.h"

#include <QImage>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace tavrine::onboarding {

// The colour of a 3 × 3 mesh at (u, v) in unit coordinates: within each of the four cells, the corners blend
// bilinearly on smoothstepped weights, so the colour flows through the grid points without creases.
QColor meshColor(const BackdropPalette& palette, double u, double v);
// The palette between `from` (t = 0) and `to` (t = 1), point by point.
BackdropPalette blendPalettes(const BackdropPalette& from, const BackdropPalette& to, double t);
// The mesh drawn into a small image of `size`, to be scaled up smoothly: the gradient has no detail to lose.
QImage meshImage(const BackdropPalette& palette, QSize size);

// The onboarding window's backdrop: the mesh of `toPage`'s palette, blended from `fromPage`'s while `progress`
// runs from 0 to 1 with the page animation.
class MeshBackdrop : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int fromPage READ fromPage WRITE setFromPage NOTIFY pagesChanged)
    Q_PROPERTY(int toPage READ toPage WRITE setToPage NOTIFY pagesChanged)
    Q_PROPERTY(double progress READ progress WRITE setProgress NOTIFY progressChanged)

public:
    static constexpr QSize meshSize{48, 36};

    explicit MeshBackdrop(QQuickItem* parent = nullptr);

    int fromPage() const { return m_from; }
    void setFromPage(int page);
    int toPage() const { return m_to; }
    void setToPage(int page);
    double progress() const { return m_progress; }
    void setProgress(double progress);

    void paint(QPainter* painter) override;

protected:
    QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) override;

signals:
    void pagesChanged();
    void progressChanged();

private:
    BackdropPalette palette(int page) const;

    int m_from = 0;
    int m_to = 0;
    double m_progress = 1.0;
};

} // namespace tavrine::onboarding

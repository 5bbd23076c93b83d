#pragma once

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace tavrine::ui {

class PaletteWatcher;

// The numbers of the application's pill buttons and pill surfaces: sizes by control size and the opacities of
// fill, border, shadow and label. The QML pieces (PillButton, PillSurface) only bind to these.
class PillMetrics final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The scheme of the application palette; views may override it per item.
    Q_PROPERTY(bool dark READ dark NOTIFY darkChanged)
    Q_PROPERTY(qreal shadowRadius READ shadowRadius CONSTANT)
    Q_PROPERTY(qreal shadowOffsetY READ shadowOffsetY CONSTANT)
    Q_PROPERTY(qreal pressedScale READ pressedScale CONSTANT)
    Q_PROPERTY(qreal hoverAnimationMs READ hoverAnimationMs CONSTANT)
    Q_PROPERTY(qreal pressAnimationMs READ pressAnimationMs CONSTANT)

public:
    enum ControlSize { Mini, Small, Regular, Large, ExtraLarge };
    Q_ENUM(ControlSize)

    struct Size {
        int fontSize = 13;
        int horizontalPadding = 16;
        // The capsule's least height, and the diameter of a circle that names none.
        int minimumHeight = 34;
        friend bool operator==(const Size&, const Size&) = default;
    };

    explicit PillMetrics(QObject* parent = nullptr);

    // Any value that is not one of the five control sizes gets the regular row.
    static Size sizeFor(int controlSize);
    Q_INVOKABLE static int fontSize(int controlSize) { return sizeFor(controlSize).fontSize; }
    Q_INVOKABLE static int horizontalPadding(int controlSize) { return sizeFor(controlSize).horizontalPadding; }
    Q_INVOKABLE static int minimumHeight(int controlSize) { return sizeFor(controlSize).minimumHeight; }

    // White in the dark scheme, black in the light one, at these opacities.
    Q_INVOKABLE static qreal fillOpacity(bool dark, bool selected, bool hovering, bool pressed);
    Q_INVOKABLE static qreal borderTopOpacity(bool dark, bool selected);
    Q_INVOKABLE static qreal borderBottomOpacity(bool dark);
    // The shadow is black in both schemes.
    Q_INVOKABLE static qreal shadowOpacity(bool dark);
    Q_INVOKABLE static QColor ink(bool dark, qreal opacity);

    // The label: white at 0.85 in the dark scheme, the palette's text colour in the light one (black at 0.85 when
    // the palette itself is dark); the label then
    // takes foregroundOpacity and the whole button buttonOpacity, so a disabled label ends near 0.28.
    Q_INVOKABLE static QColor labelColor(bool dark);
    Q_INVOKABLE static qreal foregroundOpacity(bool enabled) { return enabled ? 0.88 : 0.5; }
    Q_INVOKABLE static qreal buttonOpacity(bool enabled) { return enabled ? 1.0 : 0.55; }
    // A disabled button never looks hovered.
    Q_INVOKABLE static bool showsHover(bool hovered, bool enabled) { return hovered && enabled; }

    bool dark() const { return m_dark; }
    static qreal shadowRadius() { return 3; }
    static qreal shadowOffsetY() { return 1; }
    static qreal pressedScale() { return 0.97; }
    static qreal hoverAnimationMs() { return 120; }
    static qreal pressAnimationMs() { return 80; }

signals:
    void darkChanged();

private:
    void readPalette();

    PaletteWatcher* m_watcher = nullptr;
    bool m_dark = false;
};

} // namespace tavrine::ui

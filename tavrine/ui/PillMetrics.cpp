#include "tavrine/ui/PillMetrics.h"

#include "tavrine/ui/ColorScheme.h"
#include "tavrine/ui/PaletteWatcher.h"

#include <QGuiApplication>

namespace tavrine::ui {

PillMetrics::PillMetrics(QObject* parent) : QObject(parent), m_watcher(new PaletteWatcher(this)) {
    connect(m_watcher, &PaletteWatcher::paletteChanged, this, &PillMetrics::readPalette);
    m_dark = applicationIsDark();
}

void PillMetrics::readPalette() {
    const bool dark = applicationIsDark();
    if (dark == m_dark)
        return;
    m_dark = dark;
    emit darkChanged();
}

PillMetrics::Size PillMetrics::sizeFor(int controlSize) {
    switch (controlSize) {
    case Mini:
        return {11, 10, 22};
    case Small:
        return {12, 12, 28};
    case Large:
        return {14, 20, 40};
    case ExtraLarge:
        return {15, 22, 46};
    default:
        return {13, 16, 34};
    }
}

qreal PillMetrics::fillOpacity(bool dark, bool selected, bool hovering, bool pressed) {
    return (dark ? 0.07 : 0.05) + (selected ? 0.07 : 0.0) + (hovering ? 0.04 : 0.0) + (pressed ? 0.06 : 0.0);
}

qreal PillMetrics::borderTopOpacity(bool dark, bool selected) {
    if (selected)
        return dark ? 0.24 : 0.18;
    return dark ? 0.16 : 0.12;
}

qreal PillMetrics::borderBottomOpacity(bool dark) {
    return dark ? 0.06 : 0.07;
}

qreal PillMetrics::shadowOpacity(bool dark) {
    return dark ? 0.25 : 0.08;
}

QColor PillMetrics::ink(bool dark, qreal opacity) {
    return dark ? QColor::fromRgbF(1, 1, 1, float(opacity)) : QColor::fromRgbF(0, 0, 0, float(opacity));
}

QColor PillMetrics::labelColor(bool dark) {
    if (dark)
        return QColor::fromRgbF(1, 1, 1, 0.85f);
    // A light pill in a dark palette (the first-run window stays light) cannot take the palette's light text.
    if (applicationIsDark())
        return QColor::fromRgbF(0, 0, 0, 0.85f);
    return QGuiApplication::palette().color(QPalette::WindowText);
}

} // namespace tavrine::ui

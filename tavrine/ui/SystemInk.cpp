#include "tavrine/ui/SystemInk.h"

#include "tavrine/ui/PaletteWatcher.h"

#include <QGuiApplication>
#include <QPalette>
#include <cmath>

namespace tavrine::ui {

namespace {

// A little above the ratio asked for: the colour is drawn in 8 bits a channel, which may round it down.
constexpr double aim = SystemInk::readableRatio + 0.1;

double linear(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

// `share` of `ink` over the rest of `ground`, opaque.
QColor mix(const QColor& ink, const QColor& ground, double share) {
    auto channel = [share](float a, float b) { return float(share * a + (1 - share) * b); };
    return QColor::fromRgbF(channel(ink.redF(), ground.redF()), channel(ink.greenF(), ground.greenF()),
                            channel(ink.blueF(), ground.blueF()));
}

// The least share of `ink` over `ground` (from `from` up) that reads; `ink` itself must read.
QColor leastReadable(const QColor& ink, const QColor& ground, double from) {
    double low = from, high = 1;
    if (SystemInk::contrastRatio(mix(ink, ground, low), ground) >= aim)
        return mix(ink, ground, low);
    for (int i = 0; i < 16; ++i) {
        const double middle = (low + high) / 2;
        (SystemInk::contrastRatio(mix(ink, ground, middle), ground) >= SystemInk::readableRatio ? high : low) = middle;
    }
    return mix(ink, ground, high);
}

} // namespace

SystemInk::SystemInk(QObject* parent) : QObject(parent), m_watcher(new PaletteWatcher(this)) {
    connect(m_watcher, &PaletteWatcher::paletteChanged, this, &SystemInk::readPalette);
    readPalette();
}

double SystemInk::contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor SystemInk::readable(const QColor& ink, const QColor& ground) {
    const QColor opaque = mix(ink, ground, ink.alphaF());
    if (contrastRatio(opaque, ground) >= aim)
        return opaque;
    // Black or white, whichever stands out more, reads on any ground; the ink moves toward it no further than needed.
    const QColor pole =
        contrastRatio(Qt::white, ground) >= contrastRatio(Qt::black, ground) ? QColor(Qt::white) : QColor(Qt::black);
    double low = 0, high = 1;
    for (int i = 0; i < 16; ++i) {
        const double middle = (low + high) / 2;
        (contrastRatio(mix(pole, opaque, middle), ground) >= aim ? high : low) = middle;
    }
    return mix(pole, opaque, high);
}

QColor SystemInk::secondary(const QColor& text, const QColor& ground) {
    return leastReadable(readable(text, ground), ground, secondaryShare);
}

QColor SystemInk::secondaryOn(const QColor& fill) const {
    return secondary(m_text, mix(fill, m_window, fill.alphaF()));
}

QColor SystemInk::readableOn(const QColor& ink, const QColor& fill) const {
    return readable(ink, mix(fill, m_window, fill.alphaF()));
}

void SystemInk::readPalette() {
    const QPalette palette = QGuiApplication::palette();
    const QColor ground = palette.color(QPalette::Window);
    const QColor text = readable(palette.color(QPalette::WindowText), ground);
    const QColor secondaryText = secondary(text, ground);
    const QColor link = readable(palette.color(QPalette::Link), ground);
    if (ground == m_window && text == m_text && secondaryText == m_secondaryText && link == m_link)
        return;
    m_window = ground;
    m_text = text;
    m_secondaryText = secondaryText;
    m_link = link;
    emit changed();
}

} // namespace tavrine::ui

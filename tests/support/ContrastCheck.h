#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

class QQuickWindow;

namespace tavrine::test {

// WCAG's contrast ratio of two opaque colours: 1 (the same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// One text or tinted symbol that stands out too little from what lies behind it.
struct ContrastFault {
    QString where; // the item's path of object or type names, and what it says
    QColor ink;    // its colour as drawn (its opacity taken in) over the ground
    QColor ground; // what lies behind it
    double ratio = 0;
    double required = 0;
    // Under a dark palette, opaque black (or the controls' style's own ink) on a lighter ground: a piece of the light
// scheme left behind.
    bool lightScheme = false;
};

// Every visible, enabled text under the window's content that is drawn in the desktop's system colours (4.5:1
// required, 3:1 for large text) and every symbol tinted in them (3:1, as for graphics), measured against the
// window's own pixels: the window is drawn once more with those inks see-through, and each one's ground is taken
// where its glyphs were. A text in a colour of its own was given it on purpose, in a scheme of its own, and is
// not measured; neither is an item under one named in `exempt` (by object name). Under a dark palette one in opaque
// black on a lighter ground is a fault too, however well it reads: the light scheme stayed behind there (Qt Quick's
// default ink, or a control that kept the style's own palette; a view that stays light on purpose picks its inks).
QList<ContrastFault> contrastFaults(QQuickWindow& window, const QStringList& exempt = {});

} // namespace tavrine::test

#include "support/ContrastCheck.h"

#include "tavrine/ui/ColorScheme.h"
#include "tavrine/ui/SystemInk.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <memory>

namespace tavrine::test {

namespace {

double channel(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

QColor over(const QColor& ink, double alpha, const QColor& ground) {
    auto mix = [alpha](double a, double b) { return alpha * a + (1 - alpha) * b; };
    return QColor::fromRgbF(float(mix(ink.redF(), ground.redF())), float(mix(ink.greenF(), ground.greenF())),
                            float(mix(ink.blueF(), ground.blueF())));
}

struct Measured {
    QQuickItem* item;
    QColor ink;
    double alpha; // the ink's own alpha times every opacity down to it
    double required;
    bool text;
    bool rich;     // words of it may carry colours of their own
    qreal opacity; // its own
    QRect visible; // in the grabbed image's pixels, after every clip above it
};

// The text colours of the controls' style as it loaded, whatever the desktop's: what a control or a popup that
// never took the desktop's palette writes in.
const QList<QRgb>& styleInks() {
    static const QList<QRgb> inks = [] {
        QList<QRgb> found;
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import QtQuick.Controls\nControl {}", QUrl());
        std::unique_ptr<QObject> control(component.create());
        auto* palette = control ? control->property("palette").value<QObject*>() : nullptr;
        if (!palette)
            return found;
        for (const char* role : {"windowText", "text", "buttonText", "toolTipText", "placeholderText"})
            found.append(palette->property(role).value<QColor>().rgb() | 0xff000000);
        return found;
    }();
    return inks;
}

// The colours a text takes in the desktop's system styles: the palette's text roles as they are now, and black,
// which is what Qt Quick draws a text in when nobody chose a colour, and the style's own. A text in any other
// colour was given it on purpose, in a scheme of its own.
bool inSystemColours(const QColor& ink) {
    const QPalette palette = QGuiApplication::palette();
    const QRgb rgb = ink.rgb() | 0xff000000;
    if (rgb == qRgb(0, 0, 0) || styleInks().contains(rgb))
        return true;
    const ui::SystemInk system;
    for (const QColor& derived : {system.text(), system.secondaryText(), system.link()}) {
        if ((derived.rgb() | 0xff000000) == rgb)
            return true;
    }
    // Not the colours of text on a highlight: those go with the highlight, a colour of its own.
    for (QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::PlaceholderText, QPalette::Link,
          QPalette::LinkVisited, QPalette::ToolTipText}) {
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            if ((palette.color(group, role).rgb() | 0xff000000) == rgb)
                return true;
        }
    }
    return false;
}

bool isRich(const QQuickItem* item) {
    const int format = item->property("textFormat").toInt();
    return format == Qt::RichText || format == 4 /* StyledText */ ||
           (format == Qt::AutoText && Qt::mightBeRichText(item->property("text").toString()));
}

// Large text (18 points, or 14 points bold: 24 and 18.66 pixels) reads at 3:1.
bool isLarge(const QQuickItem* item) {
    const QFont font = item->property("font").value<QFont>();
    const double pixels = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96.0 / 72.0;
    return pixels >= 24 || (pixels >= 18.66 && font.weight() >= QFont::Bold);
}

bool isText(const QQuickItem* item) {
    return item->inherits("QQuickText") || item->inherits("QQuickTextInput") || item->inherits("QQuickTextEdit");
}

// An icon drawn in one colour: the controls' IconImage with its `color` set.
bool isTintedSymbol(const QQuickItem* item) {
    if (!item->inherits("QQuickIconImage"))
        return false;
    return item->property("color").value<QColor>().alpha() > 0;
}

QString nameOf(const QQuickItem* item) {
    if (!item->objectName().isEmpty())
        return item->objectName();
    QString type = QString::fromLatin1(item->metaObject()->className());
    const qsizetype qmlType = type.indexOf(QLatin1String("_QMLTYPE_"));
    if (qmlType > 0)
        type.truncate(qmlType);
    return type;
}

QString describe(const QQuickItem* item) {
    QStringList path;
    for (const QQuickItem* at = item; at && path.size() < 5; at = at->parentItem())
        path.prepend(nameOf(at));
    QString text = item->property("text").toString();
    if (text.size() > 40)
        text = text.left(40) + QStringLiteral("…");
    return path.join(QLatin1Char('/')) + (text.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(text));
}

// Whatever the window's overlay shows (popups, menus, their dim) covers the items beneath it.
QList<QRectF> overlayAreas(QQuickWindow& window, QList<QQuickItem*>* overlays) {
    QList<QRectF> areas;
    QQuickItem* root = window.contentItem()->parentItem();
    if (!root)
        return areas;
    for (QQuickItem* child : root->childItems()) {
        if (child == window.contentItem() || !child->isVisible())
            continue;
        overlays->append(child);
        for (QQuickItem* shown : child->childItems()) {
            if (shown->isVisible() && shown->opacity() > 0)
                areas.append(shown->mapRectToScene(QRectF(0, 0, shown->width(), shown->height())));
        }
    }
    return areas;
}

void collect(QQuickItem* item, double opacity, QRectF clip, const QStringList& exempt, double scale,
             const QList<QRectF>& covered, bool inOverlay, QList<Measured>* found) {

    // A disabled control may read faintly: that is how it says it is disabled.
    if (!item->isVisible() || !item->isEnabled() || item->opacity() <= 0 || exempt.contains(item->objectName()))
        return;
    opacity *= item->opacity();
    const QRectF area = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    if (item->clip())
        clip = clip.intersected(area);
    const bool text = isText(item) && !item->property("text").toString().trimmed().isEmpty();
    if (text || isTintedSymbol(item)) {
        const QColor ink = item->property("color").value<QColor>();
        const QRectF shown = area.intersected(clip);
        const bool under = !inOverlay && std::any_of(covered.cbegin(), covered.cend(),
                                                     [&](const QRectF& c) { return c.intersects(shown); });
        const QRect pixels(
            QPoint(int(std::floor(shown.left() * scale)), int(std::floor(shown.top() * scale))),
            QPoint(int(std::ceil(shown.right() * scale)) - 1, int(std::ceil(shown.bottom() * scale)) - 1));
        if (!under && !shown.isEmpty() && ink.isValid() && inSystemColours(ink))
            found->append({item, ink, ink.alphaF() * opacity, text ? (isLarge(item) ? 3.0 : 4.5) : 3.0, text,
                           text && isRich(item), item->opacity(), pixels});
    }
    for (QQuickItem* child : item->childItems())
        collect(child, opacity, clip, exempt, scale, covered, inOverlay, found);
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QList<ContrastFault> contrastFaults(QQuickWindow& window, const QStringList& exempt) {
    const QImage drawn = window.grabWindow().convertToFormat(QImage::Format_RGB32);
    const double scale = drawn.devicePixelRatio();
    const QRectF whole(QPointF(0, 0), QSizeF(window.width(), window.height()));
    QList<QQuickItem*> overlays;
    const QList<QRectF> covered = overlayAreas(window, &overlays);
    QList<Measured> items;
    collect(window.contentItem(), 1, whole, exempt, scale, covered, false, &items);
    for (QQuickItem* overlay : overlays)
        collect(overlay, 1, whole, exempt, scale, {}, true, &items);

    // The same window with every measured ink see-through: what lies behind each. A text keeps its own box
    // (a label's background is its child), a symbol has none.
    for (const Measured& m : items) {
        if (m.text && !m.rich)
            m.item->setProperty("color", QColor(Qt::transparent));
        else
            m.item->setOpacity(0);
    }
    const QImage ground = window.grabWindow().convertToFormat(QImage::Format_RGB32);
    for (const Measured& m : items) {
        if (m.text && !m.rich)
            m.item->setProperty("color", m.ink);
        else
            m.item->setOpacity(m.opacity);
    }

    const bool dark = ui::applicationIsDark();
    QList<ContrastFault> faults;
    for (const Measured& m : items) {
        const QRect area = m.visible.intersected(drawn.rect());
        // Where the glyphs are: the pixels the item changes. An ink that hardly differs from its ground changes
        // next to nothing, and then its whole box counts.
        QList<QPoint> glyphs, box;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                box.append({x, y});
                if (drawn.pixel(x, y) != ground.pixel(x, y))
                    glyphs.append({x, y});
            }
        }
        const QList<QPoint>& at = glyphs.size() >= 4 ? glyphs : box;
        if (at.isEmpty())
            continue;
        QList<std::pair<double, QColor>> ratios;
        ratios.reserve(at.size());
        for (const QPoint& p : at) {
            const QColor behind = QColor::fromRgb(ground.pixel(p));
            ratios.append({contrastRatio(over(m.ink, m.alpha, behind), behind), behind});
        }
        // A quarter of the glyphs may lie over a stronger ground (a border, a shadow) before the text fails.
        const auto quartile = ratios.begin() + ratios.size() / 4;
        std::nth_element(ratios.begin(), quartile, ratios.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        const QColor drawnInk = over(m.ink, m.alpha, quartile->second);
        if (quartile->first < m.required)
            faults.append({describe(m.item), drawnInk, quartile->second, quartile->first, m.required});
        else if (dark && (m.ink.rgba() == qRgba(0, 0, 0, 255) || styleInks().contains(m.ink.rgba())) &&
                 luminance(drawnInk) < luminance(quartile->second))
            faults.append({describe(m.item), drawnInk, quartile->second, quartile->first, m.required, true});
    }
    return faults;
}

} // namespace tavrine::test

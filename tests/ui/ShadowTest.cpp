#include "tavrine/ui/Shadow.h"
#include "support/QmlTestSupport.h"
#include "tavrine/ui/CapsuleBorder.h"

#include <QFile>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using tavrine::ui::CapsuleBorder;
using tavrine::ui::Shadow;

namespace {

double alphaSum(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qAlpha(image.pixel(x, y));
    return sum;
}

// The largest difference in alpha between the image and its mirror image left to right.
int mirrorDifference(const QImage& image) {
    int largest = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            largest =
                std::max(largest, std::abs(qAlpha(image.pixel(x, y)) - qAlpha(image.pixel(image.width() - 1 - x, y))));
    return largest;
}

// A rounded rectangle of `size` at the origin, filled as `fill` says, its edge as `top` and `bottom` say, blurred
// `blur` in `color`; only the shadow, whose picture starts `blur` pixels up and left of the shape.
QImage roundedShadow(QSize size, qreal cornerRadius, qreal fill, int blur, const QColor& color, qreal top = 0,
                     qreal bottom = 0) {
    Shadow::Look look;
    look.fill = QColor::fromRgbF(0, 0, 0, float(fill));
    look.edgeTop = QColor::fromRgbF(0, 0, 0, float(top));
    look.edgeBottom = QColor::fromRgbF(0, 0, 0, float(bottom));
    look.color = color;
    look.blur.radius = blur;
    return Shadow::draw({Shadow::Shape{QRectF(QPointF(0, 0), QSizeF(size)), cornerRadius, {}, 0, {}}}, look, 1).image;
}

} // namespace

// The blur spreads the shape's coverage without losing or adding any (so the image is large enough and the
// weights are normalised), keeps it symmetric, and leaves the middle of a wide shape at fill times colour.
TEST(Shadow, BlursTheCoverageIntoAnImageLargerByTheRadius) {
    struct Case {
        const char* name;
        QSize size;
        qreal cornerRadius;
        qreal fill;
        int blur;
        qreal colorAlpha;
    };
    const Case cases[] = {
        {"no blur", {20, 10}, 0, 1.0, 0, 1.0},
        {"the pill's blur", {120, 34}, 17, 0.12, 3, 0.25},
        {"the card's blur", {100, 80}, 18, 1.0, 18, 0.25},
        {"a negative blur is none", {20, 10}, 0, 1.0, -4, 1.0},
        {"an empty shape", {0, 0}, 0, 1.0, 3, 1.0},
    };
    for (const Case& c : cases) {
        const QImage image =
            roundedShadow(c.size, c.cornerRadius, c.fill, c.blur, QColor::fromRgbF(0, 0, 0, float(c.colorAlpha)));
        if (c.size.isEmpty()) {
            EXPECT_TRUE(image.isNull()) << c.name;
            continue;
        }
        const int pad = std::max(0, c.blur);
        ASSERT_EQ(image.size(), c.size + QSize(2 * pad, 2 * pad)) << c.name;
        // Coverage of the rounded corners aside, the shape's area in alpha.
        const double corners = (4 - 3.14159265) * c.cornerRadius * c.cornerRadius;
        const double expected = (c.size.width() * c.size.height() - corners) * c.fill * c.colorAlpha * 255;
        EXPECT_NEAR(alphaSum(image), expected, expected * 0.02 + image.width() * image.height() * 0.5) << c.name;
        EXPECT_LE(mirrorDifference(image), 1) << c.name;
        EXPECT_NEAR(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), c.fill * c.colorAlpha * 255, 1)
            << c.name;
    }
}

TEST(Shadow, AFaintEdgeCastsAShadowThatFadesAsTheEdgeDoes) {
    const QImage image = roundedShadow(QSize(60, 30), 15, 0, 3, Qt::black, 0.24, 0.06);
    const int middle = image.width() / 2;
    const int top = qAlpha(image.pixel(middle, 3));
    const int bottom = qAlpha(image.pixel(middle, image.height() - 4));
    EXPECT_GT(top, bottom);
    EXPECT_GT(bottom, 0);
    // Nothing fills the inside.
    EXPECT_EQ(qAlpha(image.pixel(middle, image.height() / 2)), 0);
}

// A pill's edge: one point wide at any scale, red along the top fading to blue along the bottom, nothing
// inside or beyond the rounded corners; a capsule unless a radius is set.
TEST(CapsuleBorder, StrokesTheEdgeFadingFromTopToBottomAndLeavesTheRestClear) {
    for (const qreal scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        const QImage image = CapsuleBorder::render(QSizeF(60, 30), 15, Qt::red, Qt::blue, scale);
        ASSERT_EQ(image.size(), QSize(int(60 * scale), int(30 * scale)));
        const int middle = image.width() / 2;
        const QRgb top = image.pixel(middle, 0);
        const QRgb bottom = image.pixel(middle, image.height() - 1);
        EXPECT_EQ(qAlpha(top), 255);
        EXPECT_GT(qRed(top), 240);
        EXPECT_EQ(qAlpha(bottom), 255);
        EXPECT_GT(qBlue(bottom), 240);
        EXPECT_EQ(qAlpha(image.pixel(middle, int(scale))), 0) << "one point wide";
        EXPECT_EQ(qAlpha(image.pixel(middle, image.height() / 2)), 0) << "the inside";
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "beyond the corner";
        EXPECT_GT(qAlpha(image.pixel(0, image.height() / 2)), 200) << "the left end";
    }
    EXPECT_EQ(alphaSum(CapsuleBorder::render(QSizeF(1.5, 30), 15, Qt::red, Qt::blue, 1)), 0) << "too small to draw";

    CapsuleBorder item;
    item.setSize(QSizeF(60, 30));
    EXPECT_EQ(item.radius(), 15);
    item.setRadius(4);
    EXPECT_EQ(item.radius(), 4);
    item.resetRadius();
    item.setSize(QSizeF(60, 20));
    EXPECT_EQ(item.radius(), 10);
}

// The picture is drawn once into a texture: a new property value or a new size has it drawn again. Shapes come
// from QML as they are written there, an outline handed over as a path.
TEST(Shadow, DrawsItsPictureAgainWhenAPropertyOrItsSizeChanges) {
    tavrine::test::QmlHarness h;
    std::unique_ptr<QObject> object(h.createFromText("import QtQuick\nimport Tavrine.Ui\n"
                                                     "Rectangle { width: 140; height: 80; color: 'black'\n"
                                                     "  id: root; property var path\n"
                                                     "  Shadow { objectName: 'shadow'; x: 40; y: 30; width: 40; "
                                                     "height: 20; color: 'red'\n"
                                                     "    shapes: root.path ? [{outline: root.path}] : [] } }"));
    auto* root = qobject_cast<QQuickItem*>(object.get());
    ASSERT_TRUE(root);
    auto window = tavrine::test::showInWindow(root, 140, 80);
    QQuickItem* shadow = tavrine::test::findItem(root, "shadow");
    ASSERT_TRUE(shadow);
    QImage image = window->grabWindow();
    EXPECT_EQ(image.pixelColor(60, 40).rgb(), QColor(Qt::red).rgb()) << "the item's own rectangle";
    EXPECT_EQ(image.pixelColor(95, 40).rgb(), QColor(Qt::black).rgb());

    shadow->setProperty("color", QColor(Qt::blue));
    image = window->grabWindow();
    EXPECT_EQ(image.pixelColor(60, 40).rgb(), QColor(Qt::blue).rgb());

    shadow->setWidth(60);
    image = window->grabWindow();
    EXPECT_EQ(image.pixelColor(95, 40).rgb(), QColor(Qt::blue).rgb());

    // Only the right half, as a path from QML: the left half clears.
    QPainterPath right;
    right.addRect(QRectF(30, 0, 30, 20));
    root->setProperty("path", QVariant::fromValue(right));
    image = window->grabWindow();
    EXPECT_EQ(image.pixelColor(50, 40).rgb(), QColor(Qt::black).rgb());
    EXPECT_EQ(image.pixelColor(85, 40).rgb(), QColor(Qt::blue).rgb());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

// The asked button's accent shadow reaches as far as its radius of 8 asks (2 down): on a white ground it still
// tints the white 6 below the capsule's edge, and nothing past 8 beyond its own.
TEST(Shadow, TheAskedButtonsShadowReachesItsRadius) {
    tavrine::test::QmlHarness h;
    std::unique_ptr<QObject> object(h.createFromText(
        "import QtQuick\nimport Tavrine.Ui\n"
        "Rectangle { width: 260; height: 100; color: 'white'\n"
        "  RehearsalAskedButtonStyle { objectName: 'button'; anchors.centerIn: parent; text: 'Get back to work';"
        " still: true } }"));
    auto* root = qobject_cast<QQuickItem*>(object.get());
    ASSERT_TRUE(root);
    auto window = tavrine::test::showInWindow(root, 260, 100);
    QQuickItem* button = tavrine::test::findItem(root, "button");
    ASSERT_TRUE(button);
    const QRectF capsule = button->mapRectToScene(QRectF(0, 0, button->width(), button->height()));
    const QImage image = window->grabWindow();
    const int x = int(capsule.center().x());
    const int bottom = int(std::ceil(capsule.bottom()));
    auto tint = [&](int below) { return 255 - qRed(image.pixel(x, bottom + below)); };
    EXPECT_GE(tint(6), 3) << "6 below the capsule";
    EXPECT_GT(tint(2), tint(6));
    EXPECT_EQ(tint(2 + 8 + 1), 0) << "past the radius";
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

// One blur for every shadow: radius r (the look's radius in item units) reaches r units beyond the shape at any
// pixel density, half the coverage at the shape's edge, and the same fall-off in item units at twice the pixels.
TEST(Shadow, TheBlurReachesItsRadiusAtEveryPixelDensity) {
    for (const qreal radius : {0.0, 0.6, 3.0, 8.0, 18.0}) {
        SCOPED_TRACE(radius);
        Shadow::Look look;
        look.color = Qt::black;
        look.blur.radius = radius;
        const QList<Shadow::Shape> square{Shadow::Shape{QRectF(0, 0, 60, 60), 0, {}, 0, {}}};
        const Shadow::Drawn once = Shadow::draw(square, look, 1);
        const Shadow::Drawn twice = Shadow::draw(square, look, 2);
        const int reach = int(std::ceil(radius));
        EXPECT_EQ(QRect(once.origin, once.image.size()), QRect(-reach, -reach, 60 + 2 * reach, 60 + 2 * reach));
        EXPECT_EQ(QRect(twice.origin, twice.image.size()),
                  QRect(-2 * reach, -2 * reach, 120 + 4 * reach, 120 + 4 * reach));
        EXPECT_EQ(qAlpha(once.image.pixel(30 + reach, 30 + reach)), 255) << "the middle";
        if (radius >= 3) {
            // Half the coverage at the edge (the pixels either side of it), next to none at the picture's own edge.
            EXPECT_NEAR(
                (qAlpha(once.image.pixel(reach - 1, 30 + reach)) + qAlpha(once.image.pixel(reach, 30 + reach))) / 2.0,
                127.5, 6);
            EXPECT_LE(qAlpha(once.image.pixel(0, 30 + reach)), 6);
            for (int out = 1; out < reach; ++out)
                EXPECT_NEAR(qAlpha(once.image.pixel(reach - out, 30 + reach)),
                            (qAlpha(twice.image.pixel(2 * (reach - out), 60 + 2 * reach)) +
                             qAlpha(twice.image.pixel(2 * (reach - out) + 1, 60 + 2 * reach))) /
                                2.0,
                            8)
                    << out << " units out";
        }
        EXPECT_LE(mirrorDifference(once.image), 1);
    }
}

namespace {

// An SVG symbol whose left half is filled, in a temporary folder.
QString halfSymbol(const QTemporaryDir& folder) {
    const QString path = folder.filePath(QStringLiteral("half.svg"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("<svg xmlns='http://www.w3.org/2000/svg' width='24' height='24' viewBox='0 0 24 24'>"
                   "<rect x='0' y='0' width='12' height='24' fill='black'/></svg>");
    return path;
}

} // namespace

// Where the picture lies and what it holds, from shapes as QML hands them over: the shadow padded by its radius and
// moved by its offset, the halo round the shapes, the shapes filled over it, turned symbols from a file or the
// resources, any outline, every length in device pixels; a symbol not yet known draws nothing (not the square it
// would fill).
TEST(Shadow, DrawsTheShadowHaloAndShapesWhereTheyBelong) {
    QTemporaryDir folder;
    const QUrl half = QUrl::fromLocalFile(halfSymbol(folder));
    struct Probe {
        QPoint at; // in the item's device pixels
        QRgb colour;
        int tolerance;
    };
    struct Case {
        const char* name;
        QVariantMap shape;
        bool pointer; // the working pointer's look, else a card's shadow
        qreal scale;
        QRect picture; // in the item's device pixels; null: nothing drawn
        std::vector<Probe> probes;
    };
    Shadow::Look shadow;
    shadow.color = QColor::fromRgbF(0, 0, 0, 0.5);
    shadow.blur = {3, 0};
    shadow.offset = {0, 4};
    Shadow::Look pointer;
    pointer.fill = Qt::black;
    pointer.drawsShapes = true;
    pointer.haloColor = Qt::white;
    pointer.halo = {0.6, 0.6};
    const QVariantMap card{{"rect", QRectF(10, 20, 40, 30)}, {"radius", 6}};
    const QRgb halo = qRgba(84, 84, 84, 84);
    QPainterPath triangle(QPointF(10, 20));
    triangle.lineTo(50, 20);
    triangle.lineTo(10, 50);
    triangle.closeSubpath();
    const Case cases[] = {
        // Full inside, nothing over the top row, and full 3 pixels inside the bottom edge once moved down.
        {"a card's shadow, moved down",
         card,
         false,
         1,
         QRect(7, 20, 46, 37),
         {{{30, 35}, qRgba(0, 0, 0, 128), 1}, {{30, 20}, 0, 0}, {{30, 51}, qRgba(0, 0, 0, 128), 6}}},
        {"twice as many pixels", card, false, 2, QRect(14, 40, 92, 74), {{{60, 70}, qRgba(0, 0, 0, 128), 1}}},
        {"a symbol in its halo",
         {{"symbol", half}, {"rect", QRectF(0, 0, 20, 20)}},
         true,
         1,
         QRect(-1, -1, 22, 22),
         {{{5, 10}, qRgba(0, 0, 0, 255), 0}, {{10, 10}, halo, 4}, {{15, 10}, 0, 0}}},
        {"turned half way round",
         {{"symbol", half}, {"rect", QRectF(0, 0, 20, 20)}, {"rotation", 180}},
         true,
         1,
         QRect(-1, -1, 22, 22),
         {{{15, 10}, qRgba(0, 0, 0, 255), 0}, {{9, 10}, halo, 4}, {{5, 10}, 0, 0}}},
        {"a symbol from the resources",
         {{"symbol", "qrc:/icons/minus.svg"}, {"rect", QRectF(0, 0, 24, 24)}},
         true,
         1,
         QRect(-1, -1, 26, 26),
         {{{12, 12}, qRgba(0, 0, 0, 255), 0}, {{12, 4}, 0, 0}}},
        // A triangle, its shadow moved down: full inside, nothing beyond its long side.
        {"an outline",
         {{"outline", QVariant::fromValue(triangle)}},
         false,
         1,
         QRect(7, 20, 46, 37),
         {{{15, 30}, qRgba(0, 0, 0, 128), 2}, {{45, 45}, 0, 0}}},
        {"a symbol not yet known", {{"symbol", QUrl()}, {"rect", QRectF(0, 0, 20, 20)}}, true, 1, QRect(), {}},
        {"no rectangle", {{"radius", 3}}, false, 1, QRect(), {}},
    };
    for (const Case& c : cases) {
        const QList<Shadow::Shape> shapes = Shadow::shapesFrom({c.shape});
        const Shadow::Drawn drawn = Shadow::draw(shapes, c.pointer ? pointer : shadow, c.scale);
        EXPECT_EQ(drawn.image.isNull() ? QRect() : QRect(drawn.origin, drawn.image.size()), c.picture) << c.name;
        for (const Probe& p : c.probes) {
            const QColor got = QColor::fromRgba(drawn.image.pixel(p.at - drawn.origin));
            const QColor want = QColor::fromRgba(p.colour);
            for (auto channel : {&QColor::red, &QColor::green, &QColor::blue, &QColor::alpha})
                EXPECT_NEAR((got.*channel)(), (want.*channel)(), p.tolerance)
                    << c.name << " at " << p.at.x() << "," << p.at.y();
        }
    }
}

#include "tavrine/ui/SoftShadow.h"
#include "tavrine/ui/CapsuleBorder.h"
#include "support/QmlTestSupport.h"
#include "tavrine/ui/ShapeShadow.h"
#include "tavrine/ui/SoftGlow.h"

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
using tavrine::ui::ShapeShadow;
using tavrine::ui::SoftGlow;
using tavrine::ui::SoftShadow;

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

} // namespace

// The blur spreads the shape's coverage without losing or adding any (so the image is large enough and the
// weights are normalised), keeps it symmetric, and leaves the middle of a wide shape at fill times colour.
TEST(SoftShadow, BlursTheCoverageIntoAnImageLargerByTheRadius) {
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
        SoftShadow::Shape shape;
        shape.size = c.size;
        shape.cornerRadius = c.cornerRadius;
        shape.fill = c.fill;
        const QImage image = SoftShadow::render(shape, c.blur, QColor::fromRgbF(0, 0, 0, float(c.colorAlpha)));
        const int pad = std::max(0, c.blur);
        ASSERT_EQ(image.size(), c.size + QSize(2 * pad, 2 * pad)) << c.name;
        if (c.size.isEmpty()) {
            EXPECT_EQ(alphaSum(image), 0) << c.name;
            continue;
        }
        // Coverage of the rounded corners aside, the shape's area in alpha.
        const double corners = (4 - 3.14159265) * c.cornerRadius * c.cornerRadius;
        const double expected = (c.size.width() * c.size.height() - corners) * c.fill * c.colorAlpha * 255;
        EXPECT_NEAR(alphaSum(image), expected, expected * 0.02 + image.width() * image.height() * 0.5) << c.name;
        EXPECT_LE(mirrorDifference(image), 1) << c.name;
        EXPECT_NEAR(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), c.fill * c.colorAlpha * 255, 1)
            << c.name;
    }
}

TEST(SoftShadow, AFaintEdgeCastsAShadowThatFadesAsTheEdgeDoes) {
    SoftShadow::Shape shape;
    shape.size = QSize(60, 30);
    shape.cornerRadius = 15;
    shape.fill = 0;
    shape.edgeTop = 0.24;
    shape.edgeBottom = 0.06;
    const QImage image = SoftShadow::render(shape, 3, Qt::black);
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

// The asked button's glow: strongest over the capsule, fading to nothing at the edge of its reach (the glow
// radius plus the clamped corner radius), evenly on each side; with no corner radius the full colour inside.
TEST(SoftGlow, FadesFromTheRectangleToNothingAtItsReach) {
    SoftGlow::Glow glow;
    glow.size = QSizeF(100, 28);
    glow.glowRadius = 4;
    glow.cornerRadius = 60; // clamped to half the height plus the glow radius
    EXPECT_EQ(SoftGlow::area(glow), QRectF(-22, -22, 144, 72));
    const QImage image = SoftGlow::render(glow, QColor::fromRgbF(1, 0, 0, 0.5));
    ASSERT_EQ(image.size(), QSize(144, 72));
    const QRgb middle = image.pixel(72, 36);
    EXPECT_GT(qAlpha(middle), 100);
    EXPECT_EQ(qRed(middle), qAlpha(middle)) << "premultiplied";
    EXPECT_EQ(qGreen(middle), 0);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(0, 36)), 0);
    EXPECT_LE(mirrorDifference(image), 1);
    int previous = -1;
    for (int x = 0; x <= 72; ++x) {
        EXPECT_GE(qAlpha(image.pixel(x, 36)), previous) << x;
        previous = qAlpha(image.pixel(x, 36));
    }
    EXPECT_GT(qAlpha(image.pixel(22, 36)), 16) << "at the rectangle's edge";
    EXPECT_LT(qAlpha(image.pixel(22, 36)), qAlpha(middle) / 2) << "at the rectangle's edge";

    glow.cornerRadius = 0;
    const QImage square = SoftGlow::render(glow, QColor::fromRgbF(1, 0, 0, 0.5));
    ASSERT_EQ(square.size(), QSize(108, 36));
    EXPECT_NEAR(qAlpha(square.pixel(54, 18)), 128, 1);
}

// The picture is drawn once into a texture: a new property value or a new size has it drawn again.
TEST(SoftGlow, DrawsItsPictureAgainWhenAPropertyOrItsSizeChanges) {
    tavrine::test::QmlHarness h;
    std::unique_ptr<QObject> object(h.createFromText("import QtQuick\nimport Tavrine.Ui\n"
                                                     "Rectangle { width: 140; height: 80; color: 'black'\n"
                                                     "  SoftGlow { objectName: 'glow'; x: 40; y: 30; width: 40; "
                                                     "height: 20; glowRadius: 10; color: 'red' } }"));
    auto* root = qobject_cast<QQuickItem*>(object.get());
    ASSERT_TRUE(root);
    auto window = tavrine::test::showInWindow(root, 140, 80);
    QQuickItem* glow = tavrine::test::findItem(root, "glow");
    ASSERT_TRUE(glow);
    QImage image = window->grabWindow();
    EXPECT_EQ(image.pixelColor(60, 40).rgb(), QColor(Qt::red).rgb());
    EXPECT_EQ(image.pixelColor(95, 40).rgb(), QColor(Qt::black).rgb());

    glow->setProperty("color", QColor(Qt::blue));
    image = window->grabWindow();
    EXPECT_EQ(image.pixelColor(60, 40).rgb(), QColor(Qt::blue).rgb());

    glow->setWidth(60);
    image = window->grabWindow();
    EXPECT_EQ(image.pixelColor(95, 40).rgb(), QColor(Qt::blue).rgb());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

// Qt's drop-shadow blur: fewer taps than pixels spread over the whole radius, so the far ones weigh as much as
// near ones would (the poster card's nine taps over 12 pixels). A square of full coverage in each.
TEST(SoftShadow, TheEffectsBlurSpreadsItsTapsOverTheRadius) {
    QImage square(40, 40, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::black);
    const QImage nine = SoftShadow::blurred(square, SoftShadow::Blur{12, 9, 0}, Qt::black);
    const QImage every = SoftShadow::blurred(square, SoftShadow::Blur{12, 25, 0}, Qt::black);
    ASSERT_EQ(nine.size(), QSize(64, 64));
    ASSERT_EQ(every.size(), QSize(64, 64));
    EXPECT_EQ(qAlpha(nine.pixel(32, 32)), 255);
    EXPECT_LE(mirrorDifference(nine), 1);
    // 11 pixels left of the square: its outermost tap reaches in with its whole weight, or hardly at all.
    EXPECT_NEAR(qAlpha(nine.pixel(1, 32)), 21, 3);
    EXPECT_LE(qAlpha(every.pixel(1, 32)), 2);
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
// resources, every length in device pixels; a symbol not yet known draws nothing (not the square it would fill).
TEST(ShapeShadow, DrawsTheShadowHaloAndShapesWhereTheyBelong) {
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
    ShapeShadow::Look shadow;
    shadow.color = QColor::fromRgbF(0, 0, 0, 0.5);
    shadow.blur = {3, 7, 0};
    shadow.offset = {0, 4};
    ShapeShadow::Look pointer;
    pointer.fill = Qt::black;
    pointer.haloColor = Qt::white;
    pointer.halo = {0.6, 3, 0.6};
    const QVariantMap card{{"rect", QRectF(10, 20, 40, 30)}, {"radius", 6}};
    const QRgb halo = qRgba(84, 84, 84, 84);
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
        {"a symbol not yet known", {{"symbol", QUrl()}, {"rect", QRectF(0, 0, 20, 20)}}, true, 1, QRect(), {}},
        {"no rectangle", {{"radius", 3}}, false, 1, QRect(), {}},
    };
    for (const Case& c : cases) {
        const QList<ShapeShadow::Shape> shapes = ShapeShadow::shapesFrom({c.shape});
        const ShapeShadow::Drawn drawn = ShapeShadow::draw(shapes, c.pointer ? pointer : shadow, c.scale);
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

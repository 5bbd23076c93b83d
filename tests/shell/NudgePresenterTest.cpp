#include "tavrine/shell/NudgePresenter.h"
#include "NudgeStandIns.h"
#include "fakes/FakeCompositing.h"
#include "session/SessionHarness.h"
#include "support/QmlTestSupport.h"
#include "tavrine/nudge/NudgeHoverState.h"
#include "tavrine/ui/Frosted.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

TEST(NudgePresenter, TheCardFloatsTopRightWithItsCloseButtonOverItsCorner) {
    PresenterHarness h;
    h.presenter->presentNudge();
    QQuickWindow* card = h.presenter->cardPanel();
    QQuickWindow* close = h.presenter->closePanel();
    ASSERT_TRUE(card && close);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(card->geometry(), QRect(available.right() + 1 - 480 - 24, available.y() + 24, 480, 200));
    EXPECT_EQ(close->geometry(), QRect(card->x() - 6, card->y() - 6, 24, 24));
    EXPECT_TRUE(card->isVisible());
    EXPECT_TRUE(close->isVisible());
    EXPECT_EQ(close->transientParent(), card);
    EXPECT_TRUE(card->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(card->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(card->flags().testFlag(Qt::Tool));
    EXPECT_EQ(card->objectName(), QStringLiteral("nudge"));
    // The card fills its panel.
    EXPECT_EQ(h.card()->size(), QSizeF(480, 200));
    EXPECT_TRUE(h.qml.warnings().isEmpty()) << h.qml.warnings().join('\n').toStdString();
}

TEST(NudgePresenter, OnlyANudgeThatWasNotShowingPlaysTheSound) {
    PresenterHarness h;
    // Made ahead while a session runs: out of sight and silent, and the panels the first nudge shows.
    h.presenter->prepare();
    QQuickWindow* card = h.presenter->cardPanel();
    ASSERT_TRUE(card);
    EXPECT_FALSE(card->isVisible() || h.presenter->closePanel()->isVisible());
    EXPECT_EQ(h.sounds, 0);
    h.presenter->presentNudge();
    EXPECT_EQ(h.presenter->cardPanel(), card);
    EXPECT_TRUE(card->isVisible());
    // Shown again (a desktop switch): repositioned, silent, and the same panels.
    h.card()->setProperty("fittingHeight", 260);
    h.presenter->presentNudge();
    EXPECT_EQ(h.sounds, 1);
    EXPECT_EQ(h.presenter->cardPanel(), card);
    EXPECT_EQ(card->height(), 260);

    h.hover.card = h.hover.closeButton = true;
    h.presenter->dismissNudge();
    EXPECT_FALSE(card->isVisible());
    EXPECT_FALSE(h.presenter->closePanel()->isVisible());
    EXPECT_FALSE(h.hover.card || h.hover.closeButton);
    // The panels stay for the next nudge, which sounds again; a card without a real size takes the standard one.
    h.card()->setProperty("fittingWidth", 90);
    h.card()->setProperty("fittingHeight", 300);
    h.presenter->presentNudge();
    EXPECT_EQ(h.presenter->cardPanel(), card);
    EXPECT_EQ(h.sounds, 2);
    EXPECT_EQ(card->size(), QSize(496, 212));
}

TEST(NudgePresenter, ANotchedScreenUsesTheNotchPanelAndAPlainOneTheCard) {
    PresenterHarness h;
    h.notched = true;
    h.presenter->presentNudge();
    ASSERT_TRUE(h.presenter->notch());
    EXPECT_EQ(h.log, QStringList{"notch show"});
    EXPECT_FALSE(h.presenter->cardPanel() && h.presenter->cardPanel()->isVisible());
    EXPECT_EQ(h.sounds, 1);

    // The next nudge comes on a screen without a notch: the notch closes at once, the card shows, and since
    // the notch was showing it, no second sound.
    h.notched = false;
    h.presenter->presentNudge();
    EXPECT_EQ(h.log, (QStringList{"notch show", "notch hide at once"}));
    EXPECT_TRUE(h.presenter->cardPanel()->isVisible());
    EXPECT_EQ(h.sounds, 1);

    h.notched = true;
    h.presenter->presentNudge();
    EXPECT_FALSE(h.presenter->cardPanel()->isVisible());
    h.presenter->dismissNudge();
    EXPECT_EQ(h.log.last(), QStringLiteral("notch hide animated"));
    EXPECT_FALSE(h.presenter->notch()->wantsOpen());
}

// A compositor that comes while the card shows makes both panels translucent, uncut, with a button that fades
// instead of its panel coming and going; when it goes, they are opaque and cut again. The card's own fill lets
// the desktop through only where the compositor blurs it: sharp, the text behind would run through the card's.
TEST(NudgePresenter, TheRealCardWithoutACompositorIsCutToItsOutlineAndShowsItsCloseButtonOnHover) {
    SessionHarness session;
    FakeCompositing compositing;
    QmlHarness qml;
    ui::Frosted::useCompositing(qml.engine(), &compositing);
    nudge::NudgeHoverState hover;
    shell::NudgePresenter::Parts parts;
    parts.card = ui::componentUrl(QStringLiteral("Tavrine.Nudge"), QStringLiteral("NudgeView"));
    parts.closeButton = ui::componentUrl(QStringLiteral("Tavrine.Nudge"), QStringLiteral("NudgeCloseButton"));
    parts.properties = {{QStringLiteral("session"), QVariant::fromValue<QObject*>(session.session.get())},
                        {QStringLiteral("hover"), QVariant::fromValue<QObject*>(&hover)}};
    parts.hover = &hover;
    parts.compositing = &compositing;
    parts.mainScreen = [] { return QGuiApplication::primaryScreen(); };
    QPoint pointer;
    parts.pointer = [&pointer] { return pointer; };
    shell::NudgePresenter presenter(qml.engine(), std::move(parts));
    presenter.presentNudge();
    ASSERT_TRUE(presenter.cardPanel()->isVisible());
    const QRect card = presenter.cardPanel()->geometry();
    EXPECT_GE(card.width(), 100);
    EXPECT_LE(card.height(), 320);
    EXPECT_FALSE(presenter.closePanel()->isVisible());
    hover.setCard(true);
    EXPECT_TRUE(presenter.closePanel()->isVisible());
    EXPECT_EQ(presenter.closePanel()->position(), card.topLeft() - QPoint(6, 6));
    // Both panels are cut to their content's round outline: square corners would show around it.
    const QRegion cardMask = presenter.cardPanel()->mask();
    EXPECT_EQ(cardMask.boundingRect(), QRect(QPoint(0, 0), card.size()));
    for (const QPoint corner : {QPoint(1, 1), QPoint(card.width() - 2, card.height() - 2)})
        EXPECT_FALSE(cardMask.contains(corner)) << corner.x() << "," << corner.y();
    EXPECT_TRUE(cardMask.contains(QPoint(card.width() / 2, 1)));
    const QRegion closeMask = presenter.closePanel()->mask();
    EXPECT_FALSE(closeMask.contains(QPoint(2, 2)));
    EXPECT_TRUE(closeMask.contains(QPoint(12, 1)));

    // On its way onto the button the pointer leaves the card before the button reports it: the button stays
    // while the pointer is on its square, and goes once the pointer has left it with both flags false.
    const QRect close = presenter.closePanel()->geometry();
    for (const QPoint onTheWay : {close.center(), close.topLeft() + QPoint(1, 1)}) {
        pointer = onTheWay;
        hover.setCard(false);
        EXPECT_TRUE(presenter.closePanel()->isVisible()) << onTheWay.x() << "," << onTheWay.y();
        hover.setCard(true);
    }
    hover.setCard(false);
    pointer = close.bottomRight() + QPoint(40, 40);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !presenter.closePanel()->isVisible(); }));
    hover.setCard(true);
    ASSERT_TRUE(presenter.closePanel()->isVisible());
    presenter.dismissNudge();
    EXPECT_FALSE(hover.card());
    EXPECT_FALSE(presenter.closePanel()->isVisible());
    EXPECT_FALSE(presenter.cardPanel()->isVisible());

    presenter.presentNudge();
    QQuickItem* view = findItem(presenter.cardPanel(), QStringLiteral("nudgeView"));
    ASSERT_TRUE(view);
    QQuickItem* surface = findItem(view, QStringLiteral("nudgeSurface"));
    ASSERT_TRUE(surface);
    struct Desktop {
        bool compositor, blur;
    };
    for (const auto [compositor, blur] : {Desktop{true, false}, Desktop{false, false}, Desktop{true, true},
                                          Desktop{false, true}, Desktop{true, false}}) {
        SCOPED_TRACE(std::string(compositor ? "a compositor" : "no compositor") + (blur ? ", blur" : ""));
        compositing.set(compositor, blur);
        EXPECT_EQ(surface->property("color").value<QColor>().alpha() < 255, compositor && blur) << "the card's fill";
        for (QQuickWindow* panel : {presenter.cardPanel(), presenter.closePanel()}) {
            EXPECT_EQ(panel->color().alpha() == 0, compositor) << panel->objectName().toStdString();
            EXPECT_EQ(panel->mask().isEmpty(), compositor) << panel->objectName().toStdString();
            EXPECT_EQ(panel->requestedFormat().alphaBufferSize(), 8) << panel->objectName().toStdString();
        }
        EXPECT_EQ(view->property("translucent").toBool(), compositor) << "the panel";
        EXPECT_EQ(presenter.closePanel()->isVisible(), compositor) << "the button fades, its panel stays";
    }
    presenter.dismissNudge();
    EXPECT_TRUE(qml.warnings().isEmpty()) << qml.warnings().join('\n').toStdString();
}

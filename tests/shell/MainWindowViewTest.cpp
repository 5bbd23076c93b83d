#include "session/SessionHarness.h"
#include "support/DarkScheme.h"
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/shell/MainWindowModel.h"
#include "tavrine/shell/SetupController.h"
#include "tavrine/ui/CaretBlink.h"
#include "tavrine/ui/QmlEngineSetup.h"
#include "tavrine/ui/SystemInk.h"

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQuickTest/quicktest.h>
#include <gtest/gtest.h>

namespace tavrine::shell {
namespace {

using namespace tavrine::test;

struct FocusWindowScene {
    QmlHarness qml;
    SessionHarness harness;
    int closes = 0;
    MainWindowModel model{*harness.session, harness.defaults, MainWindowModel::Hooks{[this] { ++closes; }, {}}, nullptr,
                          &qml.engine()};
    std::unique_ptr<QObject> object = qml.create(ui::componentUrl(QStringLiteral("Tavrine.Shell"), "FocusWindow"),
                                                 {{QStringLiteral("mainWindow"), QVariant::fromValue(&model)}});
    QQuickWindow* window() { return qobject_cast<QQuickWindow*>(object.get()); }
    bool visible(const char* name) {
        QQuickItem* item = findItem(object.get(), QString::fromLatin1(name));
        return item && item->isVisible();
    }
};

// Each screen built when it first shows, or ahead and hidden until then.
TEST(FocusWindowView, ShowsOneScreenPerStateWithoutWarnings) {
    for (bool ahead : {false, true}) {
        SCOPED_TRACE(ahead);
        FocusWindowScene scene;
        ASSERT_NE(scene.window(), nullptr);
        scene.window()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(scene.window()));
        if (ahead) {
            const QSize before = scene.window()->size();
            const QImage corner = scene.window()->grabWindow().copy(0, 0, 16, 16);
            const QRect below(0, before.height() / 2, before.width(), before.height() / 2);
            const QImage controls = scene.window()->grabWindow().copy(below);
            scene.model.buildAhead(MainWindowModel::Screen::Running);
            // The empty picture drawn once ahead of the recap's tilted card shows nothing, and goes.
            EXPECT_EQ(scene.window()->grabWindow().copy(0, 0, 16, 16), corner);
            EXPECT_TRUE(waitUntil(
                [&] { return !findItem(scene.object.get(), "tiltedPictureWarmUp")->property("active").toBool(); }));
            scene.model.buildAhead(MainWindowModel::Screen::Recap);
            // Built with no session run yet, the running screen and the recap are each drawn once beyond the
            // window's edge, then neither shows nor takes room in the window.
            for (const char* name : {"runningScreen", "recapScreen"}) {
                QQuickItem* screen = findItem(scene.object.get(), name);
                ASSERT_NE(screen, nullptr) << name;
                EXPECT_TRUE(waitUntil([&] { return screen->parentItem()->property("stageFrames").toInt() == -2; }))
                    << name;
                EXPECT_FALSE(scene.visible(name)) << name;
            }
            QTest::qWait(50);
            EXPECT_EQ(scene.window()->size(), before);
            EXPECT_EQ(scene.window()->grabWindow().copy(below), controls);
        }
        // Each state: the items shown, then those hidden.
        const auto expectShown = [&](std::initializer_list<const char*> shown,
                                     std::initializer_list<const char*> hidden) {
            for (const char* name : shown)
                EXPECT_TRUE(scene.visible(name)) << name;
            for (const char* name : hidden)
                EXPECT_FALSE(scene.visible(name)) << name;
        };
        expectShown({"setupScreen", "rotatingHeadline", "history", "settings", "duration"},
                    {"runningScreen", "lengthWarning", "startHint"});
        // No compositor here: the window's own colour is the background, and the edge sets the panel apart.
        expectShown({"windowEdge"}, {"frostedVeil"});
        scene.harness.start(25);
        expectShown({"runningScreen", "drift"}, {"setupScreen", "rotatingHeadline", "monitoringStatus"});
        scene.harness.advance(61);
        scene.harness.session->pause();
        expectShown({"runningScreen"}, {"drift"});
        EXPECT_DOUBLE_EQ(findItem(scene.object.get(), "timer")->opacity(), 0.45);
        scene.harness.session->stop(false);
        expectShown({"recapScreen"}, {"runningScreen", "rotatingHeadline"});
        EXPECT_TRUE(findItem(scene.object.get(), "recapScreen")->hasFocus()) << "Return is \"Again\"";
        QTest::qWait(50);
        EXPECT_TRUE(scene.qml.warnings().isEmpty()) << scene.qml.warnings().join(u'\n').toStdString();
    }
}

// The recap is built when a session first ends, long after the window took its colours: it takes them all the same.
TEST(FocusWindowView, TheRecapBuiltWhenASessionEndsTakesTheWindowsColours) {
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark);
        const DarkScheme scheme(dark);
        FocusWindowScene scene;
        scheme.apply(scene.window());
        scene.window()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(scene.window()));
        scene.harness.start(25);
        scene.harness.advance(61);
        scene.harness.session->stop(false);
        ASSERT_TRUE(scene.visible("recapScreen"));
        // The palette's link colour, made to read on the window where a theme's link is meant for the other
        // scheme.
        const QColor link = findItem(scene.object.get(), "allSessions")->property("color").value<QColor>();
        EXPECT_EQ(link.name(), ui::SystemInk().link().name());
        EXPECT_GE(ui::SystemInk::contrastRatio(link, QGuiApplication::palette().color(QPalette::Window)),
                  ui::SystemInk::readableRatio);
        EXPECT_TRUE(scene.qml.warnings().isEmpty()) << scene.qml.warnings().join(u'\n').toStdString();
    }
}

// The headline turns while the window is on screen, over the controls kept as pictures from then on (not in the
// window's first frame, which would pay for taking them).
TEST(FocusWindowView, HeadlineTurnsOnlyWhileOnScreen) {
    FocusWindowScene scene;
    QObject* timer = findObject(scene.object.get(), "headlineTimer");
    QObject* pictures = findObject(scene.object.get(), "pictureTime");
    ASSERT_TRUE(timer && pictures);
    EXPECT_FALSE(timer->property("running").toBool());
    EXPECT_FALSE(pictures->property("onScreen").toBool());
    scene.window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(scene.window()));
    EXPECT_TRUE(timer->property("running").toBool());
    EXPECT_TRUE(QTest::qWaitFor([&] { return pictures->property("onScreen").toBool(); }, 2000));
    // What the picture would hold (the software renderer here takes none): every control below the headline with
    // its shadow (3 px, 1 px down), and not the headline.
    QQuickItem* kept = findItem(scene.object.get(), "keptControls");
    QQuickItem* setup = findItem(scene.object.get(), "setupScreen");
    QQuickItem* headline = findItem(scene.object.get(), "rotatingHeadline");
    ASSERT_TRUE(kept && setup && headline);
    const QRectF picture = kept->mapRectToScene(QRectF(0, 0, kept->width(), kept->height()));
    const auto* slot = qvariant_cast<QQuickItem*>(setup->property("headlineSlot"));
    int controls = 0;
    for (QQuickItem* control : setup->childItems()) {
        if (control == slot || !control->isVisible())
            continue;
        ++controls;
        const QRectF drawn = control->mapRectToScene(QRectF(0, 0, control->width(), control->height()));
        EXPECT_TRUE(picture.contains(drawn.adjusted(-3, -3, 3, 4))) << control->metaObject()->className();
    }
    EXPECT_EQ(controls, 3) << "the field, the durations and the start row";
    EXPECT_FALSE(picture.intersects(headline->mapRectToScene(QRectF(0, 0, headline->width(), headline->height()))));
    scene.harness.start(25);
    EXPECT_FALSE(timer->property("running").toBool());
}

TEST(FocusWindowView, NoHeadlineOrTitleRunsUnderTheHeaderButtons) {
    FocusWindowScene scene;
    scene.window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(scene.window()));
    QObject* rotation =
        qvariant_cast<QObject*>(findObject(scene.object.get(), "rotatingHeadline")->property("rotation"));
    QQuickItem* header = findItem(scene.object.get(), "header");
    QQuickItem* field = findItem(scene.object.get(), "intention");
    ASSERT_TRUE(rotation && header && field);
    const QRectF buttons = header->mapRectToScene(header->childrenRect());
    ASSERT_FALSE(buttons.isEmpty());
    // The first question is there at once and stays, with no change run on it (one lasts 0.5 s).
    QQuickItem* opening = findItem(scene.object.get(), "headlineText");
    ASSERT_TRUE(opening);
    QTest::qWait(600);
    EXPECT_EQ(opening->opacity(), 1.0);
    EXPECT_EQ(opening->y(), 0.0);
    QList<QQuickItem*> texts;
    for (int index = 0; index < 5; ++index) {
        rotation->setProperty("index", index);
        // Each question has a text of its own, laid out once: a change shows the new one and the one leaving.
        QQuickItem* headline = findItem(scene.object.get(), "headlineText");
        ASSERT_TRUE(headline && headline->isVisible()) << index;
        ASSERT_FALSE(texts.contains(headline)) << index;
        texts << headline;
        const auto shown =
            std::count_if(texts.cbegin(), texts.cend(), [](QQuickItem* text) { return text->isVisible(); });
        EXPECT_EQ(shown, std::min(index + 1, 2)) << index;
        // Where the new headline comes to rest once it has risen into place.
        const QRectF drawn =
            headline->parentItem()->mapRectToScene(QRectF(headline->x(), 0, headline->property("contentWidth").toReal(),
                                                          headline->property("contentHeight").toReal()));
        EXPECT_FALSE(drawn.intersects(buttons)) << index;
        // The headline is drawn apart from the setup, over the room the setup leaves for it.
        EXPECT_LE(drawn.bottom(), field->mapToScene(QPointF(0, 0)).y()) << index;
        EXPECT_LE(drawn.right(), headline->mapToScene(QPointF(headline->width(), 0)).x() + 0.5) << index;
        EXPECT_EQ(headline->property("lineCount").toInt(), 1) << index;
    }
    const QString first = texts.first()->property("text").toString();
    rotation->setProperty("index", 0);
    EXPECT_EQ(findItem(scene.object.get(), "headlineText"), texts.first());
    EXPECT_EQ(texts.first()->property("text").toString(), first);

    // An intention long enough to fill the title's first line from edge to edge.
    scene.harness.start(25, QStringLiteral("Finish the pricing proposal for Acme and send it to Dana today"));
    QQuickItem* title = findItem(scene.object.get(), "intentionTitle");
    ASSERT_TRUE(title && title->isVisible());
    ASSERT_TRUE(QQuickTest::qWaitForPolish(scene.window()));
    EXPECT_GT(title->property("lineCount").toInt(), 1);
    EXPECT_EQ(title->parentItem()->height(), title->height()) << "the title's room fits its lines";
    EXPECT_FALSE(title->mapRectToScene(QRectF(0, 0, title->width(), title->height())).intersects(buttons));
}

// Keys typed whenever the setup shows go into the intention, without a click into the field first.
TEST(FocusWindowView, TypedKeysWriteTheIntentionAndReturnStarts) {
    enum class Shown { AtLaunch, AfterAgain, AfterReturnOnTheRecap, ReopenedAfterTheFocusMoved };
    struct Case {
        Shown shown;
        QByteArray keys;
        QString intention;
        bool focusMode;
    };
    const Case cases[] = {
        {Shown::AtLaunch, " ", QStringLiteral(" "), true},
        {Shown::AtLaunch, "Plan", QStringLiteral("Plan"), false},
        {Shown::AfterAgain, "Plan", QStringLiteral("Plan"), false},
        {Shown::AfterReturnOnTheRecap, "Plan", QStringLiteral("Plan"), false},
        {Shown::ReopenedAfterTheFocusMoved, "Plan", QStringLiteral("Plan"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.shown));
        FocusWindowScene scene;
        scene.window()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(scene.window()));
        scene.window()->requestActivate();
        if (c.shown == Shown::AfterAgain || c.shown == Shown::AfterReturnOnTheRecap) {
            scene.harness.start(25, QStringLiteral("Earlier"));
            scene.harness.advance(61);
            scene.harness.session->stop(false);
            ASSERT_TRUE(scene.visible("recapScreen"));
            scene.harness.session->setIntention(QString());
            if (c.shown == Shown::AfterAgain)
                QMetaObject::invokeMethod(scene.model.recap(), "again");
            else
                QTest::keyClick(scene.window(), Qt::Key_Return);
            scene.closes = 0;
        } else if (c.shown == Shown::ReopenedAfterTheFocusMoved) {
            findItem(scene.object.get(), "settings")->forceActiveFocus();
            // The user works in another window; the hot key brings this one back, shown and activated.
            QWindow other;
            other.show();
            other.requestActivate();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
            scene.window()->hide();
            scene.window()->show();
            scene.window()->requestActivate();
            ASSERT_TRUE(QTest::qWaitForWindowActive(scene.window()));
        }
        ASSERT_TRUE(scene.visible("setupScreen"));
        QQuickItem* field = findItem(scene.object.get(), "intention");
        ASSERT_NE(field, nullptr);
        EXPECT_TRUE(field->hasActiveFocus()) << scene.qml.warnings().join('\n').toStdString();
        for (char key : c.keys)
            QTest::keyClick(scene.window(), key);
        EXPECT_EQ(scene.harness.session->intention(), c.intention);
        EXPECT_EQ(findItem(scene.object.get(), "start")->isEnabled(), !c.focusMode);
        QTest::keyClick(scene.window(), Qt::Key_Return);
        EXPECT_TRUE(scene.harness.session->isActive()) << c.intention.toStdString();
        EXPECT_EQ(scene.harness.session->isFocusSession(), c.focusMode);
        EXPECT_EQ(scene.closes, 1);
    }
}

// The intention's caret blinks for a while after the last key, then stands still, drawn, so that a window left
// open stops redrawing itself; the next key or click blinks it again.
TEST(FocusWindowView, TheCaretStopsBlinkingWithoutKeysAndAKeyOrAClickWakesIt) {
    FocusWindowScene scene;
    scene.window()->show();
    scene.window()->requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(scene.window()));
    auto* blink = qobject_cast<ui::CaretBlink*>(findObject(scene.object.get(), "intentionCaretBlink"));
    QQuickItem* caret = findItem(scene.object.get(), "intentionCaret");
    ASSERT_TRUE(blink && caret);
    ASSERT_TRUE(blink->blinking());
    EXPECT_GT(stepsUntilStill(blink, caret), 2);
    EXPECT_TRUE(caret->isVisible()) << "a still caret is drawn";

    QTest::keyClick(scene.window(), 'p');
    EXPECT_TRUE(blink->blinking()) << "a key";
    EXPECT_GT(stepsUntilStill(blink, caret), 2);
    QQuickItem* field = findItem(scene.object.get(), "intention");
    QTest::mouseClick(scene.window(), Qt::LeftButton, {},
                      field->mapToScene(QPointF(field->width() / 2, field->height() / 2)).toPoint());
    EXPECT_TRUE(blink->blinking()) << "a click";
    EXPECT_EQ(scene.harness.session->intention(), QStringLiteral("p"));
    EXPECT_TRUE(scene.qml.warnings().isEmpty()) << scene.qml.warnings().join('\n').toStdString();
}

} // namespace
} // namespace tavrine::shell

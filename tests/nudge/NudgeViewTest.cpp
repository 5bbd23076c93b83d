#include "fakes/FakeSpeaker.h"
#include "nudge/NudgedSession.h"
#include "support/QmlTestSupport.h"
#include "tavrine/nudge/NudgeHoverState.h"
#include "tavrine/nudge/SpokenSentenceItem.h"
#include "tavrine/speech/NudgeVoiceMeter.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QElapsedTimer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

QUrl nudgeUrl(const char* component) {
    return ui::componentUrl(QStringLiteral("Tavrine.Nudge"), QString::fromLatin1(component));
}

SessionServices quietSpeaker() {
    auto speaker = std::make_shared<FakeSpeaker>();
    speaker->setSpeechEnabled(false);
    SessionServices services;
    services.speaker = speaker;
    return services;
}

// A session with the floating card over it.
struct CardFixture : NudgedSession {
    CardFixture() : NudgedSession(quietSpeaker()) {}
    std::unique_ptr<QObject> makeView() {
        return harness.create(nudgeUrl("NudgeView"),
                              {{QStringLiteral("session"), QVariant::fromValue<QObject*>(h->session.get())},
                               {QStringLiteral("hover"), QVariant::fromValue<QObject*>(&hover)}});
    }
    QmlHarness harness;
    nudge::NudgeHoverState hover;
};

QQuickItem* item(QObject* root, const char* name) {
    auto* found = findItem(root, QString::fromLatin1(name));
    EXPECT_TRUE(found) << name;
    return found;
}

// Whether any pixel in the rectangle differs from the window's background (its top-left pixel).
bool anyInk(const QImage& image, const QRect& rect) {
    const QRgb background = image.pixel(0, 0);
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixel(x, y) != background)
                return true;
    return false;
}

// Whether the window goes `quietMs` without drawing a frame, looked for over `limitMs` at most: it has settled.
bool settles(QQuickWindow& window, int quietMs = 300, int limitMs = 5000) {
    QSignalSpy swapped(&window, &QQuickWindow::frameSwapped);
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < limitMs) {
        const qsizetype before = swapped.count();
        QTest::qWait(quietMs);
        if (swapped.count() == before)
            return true;
    }
    return false;
}

} // namespace

TEST(NudgeView, ShowsTheSessionsNudgeWithItsIdentifiers) {
    CardFixture f;
    f.nudge(QStringLiteral("<b>Videos</b> can wait."));
    auto view = f.makeView();
    ASSERT_TRUE(view);
    auto* root = qobject_cast<QQuickItem*>(view.get());
    for (const char* name : {"nudgeReason", "relevant", "nudgeBreak", "backToWork", "voiceGlow", "jobLine"})
        item(root, name);
    EXPECT_EQ(item(root, "nudgeReason")->property("text").toString(), QStringLiteral("<b>Videos</b> can wait."));
    EXPECT_EQ(item(root, "jobLine")->property("text").toString(),
              QStringLiteral("Your job: Write the quarterly report"));
    EXPECT_EQ(item(root, "relevant")->property("Accessible.name").toString(), QString());
    const double before = root->implicitHeight();
    EXPECT_GT(before, 80);
    EXPECT_FALSE(item(root, "reasonArea")->property("interactive").toBool());
    // A long reason renews the fitting size; 5 000 characters scroll in a 160-pixel area.
    auto* content = item(root, "nudgeCardContent");
    content->setProperty("reason", QString(5000, QLatin1Char('a')));
    EXPECT_GT(root->implicitHeight(), before);
    EXPECT_EQ(item(root, "reasonArea")->height(), 160);
    EXPECT_TRUE(item(root, "reasonArea")->property("interactive").toBool());
    content->setProperty("reason", QString());
    EXPECT_EQ(item(root, "nudgeReason")->property("pixelSize").toInt(), 24);
    EXPECT_EQ(item(root, "secondaryButtons")->opacity(), 1.0);
    EXPECT_FALSE(item(root, "voiceGlow")->isVisible());
    EXPECT_TRUE(f.harness.warnings().isEmpty()) << f.harness.warnings().join(QLatin1Char('\n')).toStdString();
}

TEST(NudgeView, ARehearsalPointsAtGetBackToWork) {
    CardFixture f;
    auto voice = std::make_shared<FakeSpeaker>();
    ASSERT_TRUE(f.session().startRehearsal(QStringLiteral("Design the landing page"), 30, voice));
    ActivityEvidence staged;
    staged.app = QStringLiteral("Stage browser");
    staged.bundle = QStringLiteral("stage");
    f.session().setRehearsalNudge(staged, QStringLiteral("Back to the landing page."));
    auto view = f.makeView();
    auto* root = qobject_cast<QQuickItem*>(view.get());
    EXPECT_EQ(item(root, "secondaryButtons")->opacity(), 0.55);
    EXPECT_EQ(item(root, "jobLine")->property("text").toString(), QStringLiteral("Your job: Design the landing page"));
    EXPECT_TRUE(item(root, "backToWork")->inherits("QQuickButton"));
    EXPECT_TRUE(f.harness.warnings().isEmpty()) << f.harness.warnings().join(QLatin1Char('\n')).toStdString();
}

TEST(NudgeView, AClickReachesTheSessionThroughTheGlowAndTheVoiceRevealsTheWords) {
    CardFixture f;
    f.nudge(QStringLiteral("Videos can wait."));
    auto view = f.makeView();
    auto* root = qobject_cast<QQuickItem*>(view.get());
    auto window = showInWindow(root);
    auto* sentence = item(root, "nudgeReason");
    EXPECT_EQ(sentence->property("mode").toInt(), int(nudge::SpokenSentenceItem::Mode::Whole));

    // The voice of the nudge begins.
    auto& meter = f.session().nudgeVoice();
    meter.reset();
    meter.setPending(true);
    meter.attach(meter.token(), [] { return 0.5f; }, {});
    EXPECT_TRUE(item(root, "voiceGlow")->isVisible());
    EXPECT_EQ(sentence->property("mode").toInt(), int(nudge::SpokenSentenceItem::Mode::Spoken));

    auto* relevant = item(root, "relevant");
    const QPointF centre = relevant->mapToScene(QPointF(relevant->width() / 2, relevant->height() / 2));
    ASSERT_TRUE(item(root, "voiceGlow")->contains(item(root, "voiceGlow")->mapFromScene(centre)));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, centre.toPoint());
    EXPECT_TRUE(f.session().pendingNudgeReason().isEmpty());
    EXPECT_TRUE(f.harness.warnings().isEmpty()) << f.harness.warnings().join(QLatin1Char('\n')).toStdString();
}

// Once the voice has ended the card draws nothing until something on it changes: neither the glow nor the
// sentence keeps the render loop going. The rehearsal's asked button pulses for as long as its card shows, as it
// asks for a click, and stops with the card's window.
TEST(NudgeView, OnceTheVoiceHasEndedTheCardDrawsNoMore) {
    struct Case {
        const char* name;
        bool revealsWords;
        bool reduceMotion;
        bool rehearsal;
    };
    const Case cases[] = {
        {"the words revealed with the voice", true, false, false},
        {"the sentence shown whole under the glow", false, false, false},
        {"less motion", true, true, false},
        {"the rehearsal's nudge", true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CardFixture f;
        if (c.rehearsal) {
            ASSERT_TRUE(f.session().startRehearsal(QStringLiteral("Design the landing page"), 30,
                                                   std::make_shared<FakeSpeaker>()));
            f.session().setRehearsalNudge(ActivityEvidence{}, QStringLiteral("Back to the landing page."));
        } else {
            f.nudge(QStringLiteral("Videos can wait."));
        }
        auto view = f.makeView();
        auto* root = qobject_cast<QQuickItem*>(view.get());
        root->setProperty("reduceMotion", c.reduceMotion);
        auto window = showInWindow(root);
        auto& meter = f.session().nudgeVoice();
        meter.reset();
        meter.setPending(c.revealsWords);
        SpeechWordProgress heard;
        heard.characterStarts = {0.0, 0.1};
        heard.now = 0.2;
        meter.attach(
            meter.token(), [] { return 0.4f; }, [&] { return std::optional(heard); });
        EXPECT_FALSE(settles(*window, 300, 600)) << "while the voice plays";

        meter.playbackEnded(meter.token());
        if (c.rehearsal) {
            EXPECT_FALSE(settles(*window, 300, 600)) << "the asked button pulses";
            window->hide();
            EXPECT_TRUE(item(root, "backToWork")->property("still").toBool());
        } else {
            EXPECT_TRUE(settles(*window));
            for (QQuickItem* animated : root->findChildren<QQuickItem*>()) {
                if (animated->metaObject()->indexOfProperty("animating") >= 0) {
                    EXPECT_FALSE(animated->property("animating").toBool()) << animated->objectName().toStdString();
                }
            }
        }
        EXPECT_TRUE(f.harness.warnings().isEmpty()) << f.harness.warnings().join(QLatin1Char('\n')).toStdString();
    }
}

TEST(NudgeCloseButton, ShowsWhileThePointerIsOverTheCardOrTheButton) {
    CardFixture f;
    f.nudge(QStringLiteral("Videos can wait."));
    auto button = f.harness.create(nudgeUrl("NudgeCloseButton"),
                                   {{QStringLiteral("session"), QVariant::fromValue<QObject*>(f.h->session.get())},
                                    {QStringLiteral("hover"), QVariant::fromValue<QObject*>(&f.hover)},
                                    {QStringLiteral("translucent"), false}});
    auto* root = qobject_cast<QQuickItem*>(button.get());
    auto* close = item(root, "nudgeClose");
    EXPECT_FALSE(root->property("shown").toBool());
    EXPECT_EQ(close->opacity(), 0.0);
    f.hover.setCard(true);
    EXPECT_TRUE(root->property("shown").toBool());
    EXPECT_EQ(close->opacity(), 1.0);
    f.hover.setCard(false);
    f.hover.setClose(true);
    EXPECT_TRUE(root->property("shown").toBool());
    EXPECT_EQ(close->property("Accessible.name").toString(), QString());
    QMetaObject::invokeMethod(close, "clicked");
    EXPECT_TRUE(f.session().pendingNudgeReason().isEmpty());
    f.hover.reset();
    EXPECT_FALSE(root->property("shown").toBool());
    EXPECT_TRUE(f.harness.warnings().isEmpty()) << f.harness.warnings().join(QLatin1Char('\n')).toStdString();
}

TEST(NudgeVoiceGlow, LoudnessChangesOnlyTheLowerHalf) {
    QmlHarness harness;
    NudgeVoiceMeter meter;
    float level = 0;
    meter.reset();
    meter.attach(meter.token(), [&] { return level; }, {});
    auto glow = harness.createFromText("import QtQuick\nimport Tavrine.Nudge\n"
                                       "NudgeVoiceGlow { width: 440; height: 260; reduceMotion: true }",
                                       {{QStringLiteral("meter"), QVariant::fromValue<QObject*>(&meter)}});
    auto* root = qobject_cast<QQuickItem*>(glow.get());
    auto window = showInWindow(root, 440, 260);
    EXPECT_FALSE(root->property("animating").toBool()); // reduce motion pauses it
    const QImage quiet = window->grabWindow();
    level = 0.5;
    root->update();
    const QImage loud = window->grabWindow();
    ASSERT_EQ(quiet.size(), QSize(440, 260));
    EXPECT_EQ(quiet.copy(0, 0, 440, 130), loud.copy(0, 0, 440, 130));
    EXPECT_NE(quiet.copy(0, 130, 440, 130), loud.copy(0, 130, 440, 130));
    EXPECT_TRUE(harness.warnings().isEmpty());
}

TEST(SpokenSentence, UnknownWordsStayUndrawnAndTheEndOfTheVoiceShowsThemAll) {
    QmlHarness harness;
    NudgeVoiceMeter meter;
    meter.reset();
    meter.setPending(true);
    // Only "Stay" is known: heard long ago. "on" is mid-fade, "task" unknown.
    SpeechWordProgress progress;
    progress.characterStarts = {0.0, 0.01, 0.02, 0.03, 1.0};
    progress.now = 1.0;
    meter.attach(
        meter.token(), [] { return 0.3f; }, [&] { return std::optional(progress); });
    auto object = harness.createFromText("import QtQuick\nimport Tavrine.Nudge\n"
                                         "SpokenSentenceItem { text: 'Stay on task'; pixelSize: 24; mode: "
                                         "SpokenSentenceItem.Spoken; textWidth: 396; width: implicitWidth; "
                                         "height: implicitHeight; reduceMotion: true }",
                                         {{QStringLiteral("meter"), QVariant::fromValue<QObject*>(&meter)}});
    auto* sentence = qobject_cast<QQuickItem*>(object.get());
    auto window = showInWindow(sentence);
    EXPECT_TRUE(sentence->property("animating").toBool());
    const QImage speaking = window->grabWindow();
    if (qEnvironmentVariableIsSet("TAVRINE_KEEP_GRABS"))
        speaking.save(QStringLiteral("/tmp/spoken-speaking.png"));
    // "task" starts well right of "Stay on " at 24 pixels; nothing is drawn there yet.
    const QRect tail(8 + 125, 0, 396 - 125, speaking.height());
    EXPECT_TRUE(anyInk(speaking, QRect(8, 0, 40, speaking.height())));
    EXPECT_FALSE(anyInk(speaking, tail));

    meter.playbackEnded(meter.token());
    EXPECT_FALSE(sentence->property("animating").toBool());
    const QImage ended = window->grabWindow();
    EXPECT_TRUE(anyInk(ended, tail));
    EXPECT_TRUE(harness.warnings().isEmpty()) << harness.warnings().join(QLatin1Char('\n')).toStdString();
}

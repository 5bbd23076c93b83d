#include "historyview/HistorySamples.h"
#include "support/LogCapture.h"
#include "support/QmlTestSupport.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryBrowser.h"
#include "tavrine/historyview/RecapViewModel.h"
#include "tavrine/platform/SaveFileChooser.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QDir>
#include <QFile>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

QUrl component(const char* name) {
    return ui::componentUrl(QStringLiteral("Tavrine.HistoryView"), QString::fromLatin1(name));
}

// The sample recap with markup in its intention and `phrase` naming its biggest detour.
SessionSummary sampleSummary(QString phrase = QStringLiteral("Scrolled the feed")) {
    SessionSummary summary = sampleRecapSummary();
    summary.intention = QStringLiteral("Write the <i>report</i>");
    summary.topDetours[0].phrase = std::move(phrase);
    return summary;
}

int pngColourType(const QByteArray& png) {
    // IHDR follows the 8-byte signature and the chunk's length and type: width, height, depth, colour type.
    return png.size() > 25 ? int(quint8(png.at(25))) : -1;
}

// Painted items hand their textures back through deferred deletions once their window is gone.
class Views : public ::testing::Test {
protected:
    void TearDown() override {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
};
class TimelineView : public Views {};
class HistoryView : public Views {};
class RecapView : public Views {};
class RecapShare : public Views {};

// The save dialog answers at once with the file the test picked, or as cancelled.
struct ChosenFile : platform::SaveFileChooser {
    void choose(const platform::SaveFileRequest& request, Chosen chosen) override {
        asked = request;
        chosen(answer);
    }
    platform::SaveFileRequest asked;
    std::optional<QString> answer;
};

} // namespace

TEST_F(TimelineView, ACallerThatIgnoresTheRequestKeepsItDisplayOnly) {
    QmlHarness h;
    TimelineModel model;
    model.setTimeline(sampleSummary().timeline, QDateTime::currentDateTime());
    auto view = h.createFromText("import QtQuick\nimport Tavrine.HistoryView\n"
                                 "SessionTimelineView { width: 300; height: 112; selection: -1;"
                                 " property int requests: 0; property int lastRequest: -2;"
                                 " onSelectionRequested: id => { requests++; lastRequest = id } }",
                                 {{QStringLiteral("model"), QVariant::fromValue(&model)}});
    ASSERT_TRUE(view);
    auto* item = qobject_cast<QQuickItem*>(view.get());
    auto window = showInWindow(item, 300, 112);
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 10));
    EXPECT_EQ(view->property("requests").toInt(), 1);
    EXPECT_EQ(view->property("lastRequest").toInt(), 0);
    EXPECT_EQ(model.selection(), -1);
    EXPECT_EQ(model.selectedBlock(), -1);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST_F(TimelineView, ATapOnTheCluesCardClearsTheSelectionAndATapOnABlockSelects) {
    // The recap's timeline: the card lies over a block, one long block or the other of two, and a tap on the card
    // must not reach the block under it.
    const auto related = [](double start, double end, const char* phrase) {
        SessionTimeline::Segment s;
        s.kind = SessionTimeline::Kind::Related;
        s.start = start;
        s.end = end;
        s.phrase = QString::fromLatin1(phrase);
        s.clues.app = QStringLiteral("Writer");
        return s;
    };
    struct Row {
        const char* name;
        SessionTimeline timeline;
    };
    const Row rows[] = {
        {"one long block", normaliseTimeline({related(0, 1800, "Wrote the report")}, 1800)},
        {"two blocks",
         normaliseTimeline({related(0, 900, "Wrote the intro"), related(900, 1800, "Wrote the end")}, 1800)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QmlHarness h;
        TimelineModel model;
        model.setTimeline(row.timeline, QDateTime::currentDateTime());
        auto view = h.createFromText("import QtQuick\nimport Tavrine.HistoryView\n"
                                     "SessionTimelineView { width: 320; height: 180; showsCluesOverTimeline: true;"
                                     " onSelectionRequested: id => selection = id }",
                                     {{QStringLiteral("model"), QVariant::fromValue(&model)}});
        ASSERT_TRUE(view);
        auto* item = qobject_cast<QQuickItem*>(view.get());
        auto window = showInWindow(item, 320, 180);
        QQuickItem* card = findItem(item, QStringLiteral("timelineClues"));
        ASSERT_TRUE(card);
        // Nothing scrolls: no scroll bar, not even one fading out from before the layout gave the view its height.
        QQuickItem* bar = findItem(item, QStringLiteral("timelineScrollBar"));
        ASSERT_TRUE(bar);
        EXPECT_TRUE(!bar->isVisible() || bar->opacity() == 0) << bar->opacity();
        const int blocks = model.rowCount();
        for (int tapped = 0; tapped < blocks; ++tapped) {
            const int id = model.data(model.index(tapped), TimelineModel::SegmentIdRole).toInt();
            const double blockY = model.data(model.index(tapped), TimelineModel::BlockYRole).toDouble();
            QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(200, int(blockY) + 10));
            EXPECT_EQ(view->property("selection").toInt(), id);
            ASSERT_TRUE(card->isVisible());
            // The card's middle, over a block.
            const QPointF middle = card->mapToScene(QPointF(card->width() / 2, card->height() / 2));
            QTest::mouseClick(window.get(), Qt::LeftButton, {}, middle.toPoint());
            EXPECT_EQ(view->property("selection").toInt(), -1);
            EXPECT_FALSE(card->isVisible());
        }
        EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
    }
}

TEST_F(HistoryView, LoadsWithSessionsAndWithNone) {
    QmlHarness h;
    QTemporaryDir folder;
    SessionHistory::Options options;
    options.folder = folder.path();
    SessionHistory history(options);
    ManualClock clock;
    HistoryBrowser browser(&history, clock);
    {
        auto view =
            h.create(component("SessionHistoryView"), {{QStringLiteral("browser"), QVariant::fromValue(&browser)}});
        ASSERT_TRUE(view);
        auto window = showInWindow(qobject_cast<QQuickItem*>(view.get()), 640, 420);
        EXPECT_FALSE(findItem(view.get(), QStringLiteral("deleteSession"))->isEnabled());
        EXPECT_TRUE(findItem(view.get(), QStringLiteral("historyPlaceholder"))->isVisible());
        EXPECT_FALSE(findItem(view.get(), QStringLiteral("storeNotice"))->isVisible());
        history.record(sampleSummary(), clock.date());
        QCoreApplication::processEvents();
        EXPECT_TRUE(findItem(view.get(), QStringLiteral("deleteSession"))->isEnabled());
        QQuickItem* title = findItem(view.get(), QStringLiteral("detailTitle"));
        ASSERT_TRUE(title);
        EXPECT_EQ(title->property("text").toString(), QStringLiteral("Write the <i>report</i>"));
        EXPECT_EQ(title->property("textFormat").toInt(), int(Qt::PlainText));
    }
    // A file damaged in its middle pages: set aside, and the window says so in one plain line above the list,
    // while SQLite's integrity report, many lines long, goes to the log.
    QTemporaryDir damaged;
    options.folder = damaged.path();
    const QString path = damaged.filePath(QStringLiteral("History.store"));
    {
        SessionHistory full(options);
        for (int i = 0; i < 300; ++i) {
            SessionSummary earlier = sampleSummary();
            earlier.startedAt = earlier.startedAt.addSecs(-3600 * (i + 1));
            full.record(earlier, clock.date());
        }
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 pages = file.size() / 4096;
    ASSERT_GT(pages, 12);
    for (const qint64 page : {pages / 3, pages / 2, 2 * pages / 3}) {
        file.seek(4096 * page);
        file.write(QByteArray(4096, char(0xA5)));
    }
    file.close();
    std::optional<LogCapture> log(std::in_place);
    SessionHistory setAside(options);
    setAside.open();
    const QStringList logged = log->messages(QStringLiteral("History"));
    log.reset();
    ASSERT_EQ(setAside.status().problem, SessionHistory::Status::Problem::SetAside);
    EXPECT_TRUE(logged.join('\n').contains(QStringLiteral("the integrity check failed: ")))
        << logged.join('\n').toStdString();
    HistoryBrowser setAsideBrowser(&setAside, clock);
    {
        auto view = h.create(component("SessionHistoryView"),
                             {{QStringLiteral("browser"), QVariant::fromValue(&setAsideBrowser)}});
        ASSERT_TRUE(view);
        auto window = showInWindow(qobject_cast<QQuickItem*>(view.get()), 640, 420);
        QQuickItem* notice = findItem(view.get(), QStringLiteral("storeNotice"));
        EXPECT_TRUE(notice->isVisible());
        const QString text = notice->property("text").toString();
        EXPECT_TRUE(text.contains(QStringLiteral("could not be read because it is damaged, so it was moved to ") +
                                  QDir::toNativeSeparators(setAside.status().movedTo) + QLatin1Char(';')))
            << text.toStdString();
        EXPECT_FALSE(text.contains(QLatin1Char('\n')) || text.contains(QStringLiteral("integrity")) ||
                     text.contains(QStringLiteral("Page")))
            << text.toStdString();
        EXPECT_LE(notice->property("lineCount").toInt(), 3) << "a line, not a report";
    }
    ManualClock::pump();
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST_F(RecapView, AgainFirstThenTheShareImage) {
    QmlHarness h;
    RecapViewModel model(nullptr, &h.engine());
    const SessionSummary summary = sampleSummary(QStringLiteral("<b>x</b> &amp; <img src=a>"));
    model.setSummary(summary);
    auto view = h.create(component("SessionRecapView"), {{QStringLiteral("model"), QVariant::fromValue(&model)}});
    ASSERT_TRUE(view);
    QQuickItem* notice = findItem(view.get(), QStringLiteral("recapStoreNotice"));
    EXPECT_FALSE(notice->isVisible());
    // A session that could not be saved says so, with the reason.
    QTemporaryDir folder;
    SessionHistory::Options options;
    options.folder = folder.path();
    options.driver = QStringLiteral("QNOSUCHDRIVER");
    SessionHistory history(options);
    history.record(summary, {});
    model.setHistory(&history);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->property("text").toString(),
              QStringLiteral("This session could not be saved: database driver QNOSUCHDRIVER not available"));
    auto window = showInWindow(qobject_cast<QQuickItem*>(view.get()), 420, 700);
    // The image waits until the recap has been drawn: rendering it would hold the recap's frames up.
    bool drawn = false;
    QObject::connect(
        window.get(), &QQuickWindow::frameSwapped, &model, [&] { drawn = true; }, Qt::QueuedConnection);
    window->update();
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawn; }));
    EXPECT_EQ(model.shareImagesMade(), 0);
    int again = 0;
    QObject::connect(&model, &RecapViewModel::againRequested, [&again] { ++again; });
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_EQ(again, 1);

    ASSERT_TRUE(QTest::qWaitFor([&] { return model.hasShareImage(); }));
    // The phrase's markup is shown as its characters.
    const QString callout = findItem(view.get(), QStringLiteral("recapCallout"))->property("text").toString();
    EXPECT_TRUE(callout.contains(QStringLiteral("&lt;b&gt;x&lt;/b&gt; &amp;amp; &lt;img src=a&gt;")));

    // While the share popup is open the keys are its own: Return runs nothing behind it, Escape closes it, and
    // Return is "Again" again afterwards.
    QObject* popup = findObject(view.get(), QStringLiteral("sharePopup"));
    ASSERT_TRUE(popup);
    QMetaObject::invokeMethod(popup, "open");
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup->property("opened").toBool(); }));
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_EQ(again, 1);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !popup->property("visible").toBool(); }));
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_EQ(again, 2);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

// "Share card" and "Again" stand where they will stay from the recap's first frame on, whatever the share image
// does after it: a click aimed at "Again" lands on "Again". "Share card" is enabled only while its image exists.
TEST_F(RecapView, TheActionRowKeepsItsPlacesFromTheFirstFrame) {
    struct Case {
        const char* name;
        bool engine;                   // without one no image is ever made, as when rendering it fails
        void (*then)(RecapViewModel&); // after the image came; none: nothing
        bool imageAtLast;
    };
    const Case cases[] = {
        {"the image comes", true, nullptr, true},
        {"the image never comes", false, nullptr, false},
        {"a changed phrase drops the image", true,
         [](RecapViewModel& m) { m.setSummary(sampleSummary(QStringLiteral("Watched a video"))); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QmlHarness h;
        RecapViewModel model(nullptr, c.engine ? &h.engine() : nullptr);
        model.setSummary(sampleSummary());
        auto view = h.create(component("SessionRecapView"), {{QStringLiteral("model"), QVariant::fromValue(&model)}});
        ASSERT_TRUE(view);
        QQuickItem* share = findItem(view.get(), QStringLiteral("shareRecap"));
        QQuickItem* again = findItem(view.get(), QStringLiteral("again"));
        ASSERT_TRUE(share && again);
        auto window = std::make_unique<QQuickWindow>();
        window->resize(420, 700);
        qobject_cast<QQuickItem*>(view.get())->setParentItem(window->contentItem());
        qobject_cast<QQuickItem*>(view.get())->setWidth(420);
        const auto place = [](QQuickItem* item) {
            return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        };
        // The places as the first frame is drawn.
        QRectF firstShare;
        QRectF firstAgain;
        bool firstShareEnabled = true;
        QObject::connect(
            window.get(), &QQuickWindow::beforeSynchronizing, &model,
            [&] {
                if (firstAgain.isNull()) {
                    firstShare = share->isVisible() ? place(share) : QRectF();
                    firstAgain = place(again);
                    firstShareEnabled = share->isEnabled();
                }
            },
            Qt::DirectConnection);
        window->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !firstAgain.isNull(); }));
        EXPECT_FALSE(firstShareEnabled);
        ASSERT_FALSE(firstShare.isNull()) << "no \"Share card\" on the first frame";
        EXPECT_EQ(firstShare.width(), firstAgain.width());
        EXPECT_LT(firstShare.right(), firstAgain.left());
        if (c.engine) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return model.hasShareImage(); }));
            EXPECT_TRUE(share->isEnabled());
        } else {
            QTest::qWait(RecapViewModel::unshownLimitMs + 200);
        }
        if (c.then)
            c.then(model);
        QCoreApplication::processEvents();
        EXPECT_EQ(share->isEnabled(), c.imageAtLast);
        EXPECT_TRUE(share->isVisible());
        EXPECT_EQ(place(share), firstShare);
        EXPECT_EQ(place(again), firstAgain);
        EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
    }
}

TEST_F(RecapShare, ARealThreeTimesRenderOnAnInkMargin) {
    QmlHarness h;
    RecapViewModel model(nullptr, &h.engine());
    model.setSummary(sampleSummary());
    model.refreshShareImage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.hasShareImage(); }));
    const RecapShareImage& image = *model.shareImage();
    const QImage decoded = QImage::fromData(image.png, "PNG");
    EXPECT_EQ(decoded.width(), 1224);
    EXPECT_EQ(pngColourType(image.png), 2); // RGB, no alpha

    auto card = h.create(component("SessionRecapCard"), {{QStringLiteral("card"), QVariant::fromValue(model.card())}});
    ASSERT_TRUE(card);
    // Laid out at three times the size, text lines round to whole pixels: within a few points of 3 × (card + 64).
    EXPECT_NEAR(decoded.height(), (qobject_cast<QQuickItem*>(card.get())->height() + 64) * 3, 30);
    // The margin is ink; the card's paper starts 96 pixels in.
    const QColor corner = decoded.pixelColor(5, 5);
    EXPECT_LT(corner.lightness(), 20);
    EXPECT_GT(decoded.pixelColor(96 + 60, 96 + 150).lightness(), 200);

    // An equal summary makes no new image; a changed phrase does.
    const int made = model.shareImagesMade();
    model.setSummary(sampleSummary());
    model.refreshShareImage();
    EXPECT_EQ(model.shareImagesMade(), made);
    model.setSummary(sampleSummary(QStringLiteral("Watched a video")));
    model.refreshShareImage();
    EXPECT_EQ(model.shareImagesMade(), made + 1);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST_F(RecapShare, SaveWritesTheChosenFileOrSaysWhyItCouldNot) {
    QmlHarness h;
    RecapViewModel model(nullptr, &h.engine());
    model.setSummary(sampleSummary());
    model.refreshShareImage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.hasShareImage(); }));
    ChosenFile chooser;
    model.setFileChooser(&chooser);
    int shared = 0;
    QObject::connect(&model, &RecapViewModel::shared, [&] { ++shared; });

    // The dialog is asked for the suggested name in the pictures folder (the home folder when there is none).
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("my card.png"));
    chooser.answer = path;
    QWindow parent;
    model.chooseImageFile(&parent);
    EXPECT_EQ(chooser.asked.fileName, QStringLiteral("tavrine-session.png"));
    EXPECT_EQ(chooser.asked.folder, model.saveFolder().toLocalFile());
    EXPECT_EQ(chooser.asked.acceptLabel, QStringLiteral("Save"));
    EXPECT_EQ(chooser.asked.parent, &parent);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), model.shareImage()->png);
    EXPECT_EQ(model.shareNote(), QStringLiteral("Saved as my card.png"));
    EXPECT_EQ(shared, 1);

    // A cancelled dialog changes nothing; a read-only folder (root may write anywhere, so also a "folder" that
    // is a file) is refused with the reason.
    QTemporaryDir locked;
    QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner);
    const QString notAFolder = folder.filePath(QStringLiteral("plain-file"));
    QFile(notAFolder).open(QIODevice::WriteOnly);
    struct Row {
        std::optional<QString> chosen;
        bool refused;
    };
    for (const Row& row : {Row{std::nullopt, false}, Row{locked.filePath(QStringLiteral("tavrine-session.png")), true},
                           Row{notAFolder + QStringLiteral("/tavrine-session.png"), true}}) {
        SCOPED_TRACE(row.chosen.value_or(QStringLiteral("cancelled")).toStdString());
        if (row.chosen && row.chosen->startsWith(locked.path()) && geteuid() == 0)
            continue;
        chooser.answer = row.chosen;
        model.chooseImageFile(nullptr);
        EXPECT_EQ(model.saveError().startsWith(QStringLiteral("Could not save the image.\n")), row.refused);
        EXPECT_EQ(model.saveError().size() > 30, row.refused); // with the reason
        EXPECT_EQ(model.shareNote().isEmpty(), row.refused);   // a failure is not confirmed by the older success
        if (row.chosen) {
            EXPECT_FALSE(QFile::exists(*row.chosen));
        }
        EXPECT_EQ(shared, 1);
    }
    EXPECT_TRUE(QDir(locked.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
    QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    chooser.answer = path;
    model.chooseImageFile(nullptr);
    EXPECT_TRUE(model.saveError().isEmpty());
    EXPECT_EQ(shared, 2);

    // A copy is confirmed the same way; a new session starts without a confirmation.
    ASSERT_TRUE(model.copyImage());
    EXPECT_EQ(model.shareNote(), QStringLiteral("Copied to the clipboard"));
    SessionSummary next = sampleSummary();
    next.startedAt = next.startedAt.addSecs(3600);
    model.setSummary(next);
    EXPECT_TRUE(model.shareNote().isEmpty());
}

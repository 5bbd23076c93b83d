// The history view and the recap in real windows on the test display, driven by real input (xdotool through
// XTest): a click selects a row, Delete and Backspace delete the selected session; the recap's share popup saves
// the image through a save dialog window and puts it on the desktop's clipboard. Raising an open History window from
// the recap's "All sessions" belongs to the shell's window and is tested with it.
#include "historyview/HistorySamples.h"
#include "support/QmlTestSupport.h"
#include "tavrine/core/Clock.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryBrowser.h"
#include "tavrine/historyview/RecapShareImage.h"
#include "tavrine/historyview/RecapViewModel.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

void xdotool(const QStringList& arguments) {
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), arguments), 0) << arguments.join(' ').toStdString();
}

// The row of the list showing `sessionId`, among the delegates made so far.
QQuickItem* rowOf(QQuickItem* list, const QString& sessionId) {
    const QList<QQuickItem*> rows = list->property("contentItem").value<QQuickItem*>()->childItems();
    for (QQuickItem* row : rows) {
        if (row->objectName() == QLatin1String("historyRow") && row->property("sessionId").toString() == sessionId)
            return row;
    }
    return nullptr;
}

void clickItem(QQuickItem* item) {
    ASSERT_TRUE(item);
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(item->window()->winId()),
             QString::number(int(centre.x())), QString::number(int(centre.y())), QStringLiteral("click"),
             QStringLiteral("1")});
}

// What another application pastes: the clipboard's PNG read by xclip while this process keeps serving it.
QByteArray pastedPng() {
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                          QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-o")});
    if (!QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000))
        return {};
    return xclip.readAllStandardOutput();
}

// A view of the module filling a real window of the given size, shown and active; the view is the harness's.
struct ShownView {
    ShownView(QmlHarness& h, const char* component, const QVariantMap& properties, const QString& title, QSize size)
        : view(h.create(ui::componentUrl(QStringLiteral("Tavrine.HistoryView"), QString::fromLatin1(component)),
                        properties)),
          item(qobject_cast<QQuickItem*>(view.get())) {
        if (!item)
            return;
        window.setTitle(title);
        window.resize(size);
        item->setSize(size);
        item->setParentItem(window.contentItem());
        window.show();
        window.requestActivate();
        active = QTest::qWaitForWindowActive(&window);
    }
    ~ShownView() {
        if (item)
            item->setParentItem(nullptr);
    }
    std::unique_ptr<QObject> view;
    QQuickItem* item;
    QQuickWindow window;
    bool active = false;
};

// The list's wait for midnight on the system clock ends through a queued wake-up once the list is gone.
class HistoryWindow : public ::testing::Test {
protected:
    void TearDown() override {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
};

} // namespace

TEST(RecapShareWindow, SaveImageWritesTheFileAndCopyImagePastesElsewhere) {
    QmlHarness h;
    RecapViewModel model(nullptr, &h.engine());
    model.setSummary(sampleRecapSummary());
    ShownView shown(h, "SessionRecapView", {{QStringLiteral("model"), QVariant::fromValue(&model)}},
                    QStringLiteral("Tavrine"), QSize(440, 760));
    ASSERT_TRUE(shown.active);
    QQuickItem* item = shown.item;
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.hasShareImage(); }));
    QObject* popup = findObject(item, QStringLiteral("sharePopup"));
    ASSERT_TRUE(popup);

    // "Save image…" opens a save dialog in a window of its own (no portal on this desktop: Qt's), above the
    // recap's window, on the suggested name in the home folder (no Pictures folder here).
    const QString saved = QDir(model.saveFolder().toLocalFile()).filePath(QStringLiteral("tavrine-session.png"));
    QFile::remove(saved);
    clickItem(findItem(item, QStringLiteral("shareRecap")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup->property("opened").toBool(); }));
    clickItem(findItem(item, QStringLiteral("saveImage")));
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("saveFileDialog") && widget->isVisible())
                dialog = qobject_cast<QFileDialog*>(widget);
        }
        return dialog != nullptr;
    }));
    EXPECT_EQ(dialog->windowHandle()->transientParent(), &shown.window);
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), QStringLiteral("Save"));
    EXPECT_EQ(dialog->selectedFiles().value(0), saved);
    // Accepted as it opened, with the suggested name.
    static_cast<QDialog*>(dialog)->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(saved); }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !popup->property("visible").toBool(); }));
    EXPECT_EQ(findItem(item, QStringLiteral("shareNote"))->property("text").toString(),
              QStringLiteral("Saved as tavrine-session.png"));
    EXPECT_EQ(QImage(saved).width(), 1224);
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), model.shareImage()->png);

    // "Copy image": another application pastes the same PNG.
    clickItem(findItem(item, QStringLiteral("shareRecap")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup->property("opened").toBool(); }));
    clickItem(findItem(item, QStringLiteral("copyImage")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !popup->property("visible").toBool(); }));
    EXPECT_EQ(model.shareNote(), QStringLiteral("Copied to the clipboard"));
    EXPECT_EQ(pastedPng(), model.shareImage()->png);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST_F(HistoryWindow, ClickSelectsAndTheDeleteKeysDelete) {
    QmlHarness h;
    QTemporaryDir folder;
    SessionHistory::Options options;
    options.folder = folder.path();
    SessionHistory history(options);
    const QDateTime now = QDateTime::currentDateTime();
    for (const SessionSummary& summary : sampleHistory(now))
        history.record(summary, now);
    HistoryBrowser browser(&history, Clock::system());
    HistoryListModel& list = *browser.listModel();
    ASSERT_EQ(list.count(), 5);
    ASSERT_EQ(browser.selectedRow(), 0); // the newest, on opening

    ShownView shown(h, "SessionHistoryView", {{QStringLiteral("browser"), QVariant::fromValue(&browser)}},
                    QStringLiteral("History"), QSize(720, 480));
    ASSERT_TRUE(shown.active);
    QQuickItem* listView = findItem(shown.item, QStringLiteral("historyList"));
    ASSERT_TRUE(listView);
    auto clickRow = [&](int row) {
        const QString id = list.data(list.index(row), HistoryListModel::SessionIdRole).toString();
        clickItem(rowOf(listView, id));
        ASSERT_TRUE(QTest::qWaitFor([&] { return browser.selection() == id; })) << browser.selection().toStdString();
    };

    // A click selects a row; Delete or Backspace deletes that session, and the newest is selected again.
    for (const auto& [row, key] : {std::pair{2, "Delete"}, std::pair{3, "BackSpace"}}) {
        SCOPED_TRACE(key);
        ASSERT_NO_FATAL_FAILURE(clickRow(row));
        const QString clicked = browser.selection();
        const int left = list.count() - 1;
        xdotool({QStringLiteral("key"), QString::fromLatin1(key)});
        ASSERT_TRUE(QTest::qWaitFor([&] { return list.count() == left; })) << list.count();
        EXPECT_EQ(list.rowOf(QUuid(clicked)), -1);
        EXPECT_EQ(browser.selectedRow(), 0);
    }
    EXPECT_EQ(history.sessionCount(), 3);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

// The tray label, the nudge panels and window raising on a real X server with openbox and a tray host.
#include "NudgeStandIns.h"
#include "TrayIconClick.h"
#include "session/SessionHarness.h"
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "fakes/FakeLoginItem.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/model/PrivacySettingsOpening.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/shell/NudgePresenter.h"
#include "tavrine/shell/SettingsModel.h"
#include "tavrine/shell/UpdaterController.h"
#include "tavrine/shell/TrayStatusLabel.h"
#include "tavrine/ui/QmlEngineSetup.h"
#include "tavrine/ui/WindowRaising.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QScreen>
#include <QQuickItem>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

constexpr double waitLimit = 20.0;

std::optional<platform::XWindowId> activeWindow() {
    return platform::X11Connection::shared()->activeWindow();
}

// The height the X server gives a window, whatever Qt asked for.
int serverHeight(const QWindow& window) {
    const QString info = programOutput(QStringLiteral("xwininfo"), {"-id", QString::number(window.winId())});
    const qsizetype at = info.indexOf(QStringLiteral("Height:"));
    return at < 0 ? -1 : info.mid(at + 7).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
}

class IgnoredPrivacySettings final : public PrivacySettingsOpening {
public:
    void openAnchor(const QString&) override {}
};

} // namespace

TEST(ShellX11, TheTrayIconDocksTopRightAndAClickReachesTheLabel) {
    // The desktop's tray host (trayer) docks icons at the top right.
    ASSERT_TRUE(waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, waitLimit));
    SessionHarness h;
    int clicks = 0;
    shell::TrayStatusLabel label(*h.session, {}, [&] { ++clicks; });
    label.show();
    const std::optional<QRect> docked = settledTrayIcon(label, waitLimit);
    ASSERT_TRUE(docked);
    const QRect icon = *docked;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_GT(icon.left(), screen.right() - 200) << icon.x();
    EXPECT_LT(icon.top(), 24);

    ASSERT_TRUE(clickTrayIcon(waitLimit));
    EXPECT_TRUE(waitUntil([&] { return clicks == 1; }, waitLimit));
}

TEST(ShellX11, TheNudgeCardShowsOnEveryDesktopWithoutTakingTheFocus) {
    QmlHarness qml;
    NudgeHoverState hover;
    QQuickWindow work;
    work.setTitle(QStringLiteral("Work"));
    work.resize(400, 300);
    work.show();
    work.requestActivate();
    const auto before = std::optional<platform::XWindowId>(platform::XWindowId(work.winId()));
    ASSERT_TRUE(waitUntil([&] { return work.isActive() && activeWindow() == before; }, waitLimit));

    shell::NudgePresenter::Parts parts;
    parts.card = QUrl(QStringLiteral("qrc:/standins/NudgeView.qml"));
    parts.closeButton = QUrl(QStringLiteral("qrc:/standins/NudgeCloseButton.qml"));
    parts.hover = &hover;
    int sounds = 0;
    parts.playSound = [&] { ++sounds; };
    shell::NudgePresenter presenter(qml.engine(), std::move(parts));
    presenter.presentNudge();
    QQuickWindow* card = presenter.cardPanel();
    ASSERT_TRUE(card);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(card));
    const QRect available = card->screen()->availableGeometry();
    EXPECT_EQ(card->geometry().topRight(), QPoint(available.right() - 24, available.top() + 24));
    EXPECT_TRUE(presenter.closePanel()->isVisible());

    for (QQuickWindow* panel : {card, presenter.closePanel()}) {
        const QString desktop =
            programOutput(QStringLiteral("xprop"), {"-id", QString::number(panel->winId()), "_NET_WM_DESKTOP"});
        EXPECT_TRUE(desktop.endsWith(QStringLiteral("= 4294967295"))) << desktop.toStdString();
    }
    // A moment for the window manager to act on the new panels: the focus stays where it was.
    QTest::qWait(300);
    EXPECT_EQ(activeWindow(), before);
    EXPECT_TRUE(work.isActive());
    EXPECT_EQ(sounds, 1);
    EXPECT_TRUE(qml.warnings().isEmpty()) << qml.warnings().join('\n').toStdString();
}

TEST(ShellX11, AMinimisedWindowIsBroughtBackAndActivated) {
    QQuickWindow history;
    history.setObjectName(QStringLiteral("history"));
    history.setTitle(QStringLiteral("History"));
    history.resize(500, 400);
    history.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&history));
    history.showMinimized();
    ASSERT_TRUE(waitUntil([&] { return platform::X11Connection::shared()->isIconic(platform::XWindowId(history.winId())); },
                          waitLimit));
    ui::raiseWindow(QStringLiteral("History"), 8);
    EXPECT_TRUE(waitUntil([&] { return history.isActive(); }, waitLimit));
    EXPECT_TRUE(waitUntil(
        [&] { return !platform::X11Connection::shared()->isIconic(platform::XWindowId(history.winId())); }, waitLimit));
}

TEST(ShellX11, TheSettingsWindowGrowsWithItsForm) {
    // The window manager refuses a height above the maximum it last saw; a form that grows must still get its
    // whole height, or it is drawn off from where the pointer lands.
    SessionHarness h;
    QTemporaryDir folder;
    SessionHistory::Options options;
    options.folder = folder.path();
    SessionHistory history(options);
    PrivacySettingsOpening::install(std::make_shared<IgnoredPrivacySettings>());
    shell::UpdaterController updater(nullptr, nullptr, [] {});
    FakeLoginItem login;
    shell::SettingsModel model({h.session.get(), &history, &updater, &login, [] {}, QStringLiteral("a@b.invalid")});
    h.observer->setPermissions(false, true);
    QmlHarness qml;
    std::unique_ptr<QObject> object = qml.create(
        ui::componentUrl(QStringLiteral("Tavrine.Shell"), QStringLiteral("SettingsWindow")),
        {{QStringLiteral("session"), QVariant::fromValue<QObject*>(h.session.get())},
         {QStringLiteral("settings"), QVariant::fromValue<QObject*>(&model)}});
    auto* window = qobject_cast<QQuickWindow*>(object.get());
    ASSERT_TRUE(window);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QQuickItem* form = findItem(window, QStringLiteral("settingsContent"));
    ASSERT_TRUE(form);
    ASSERT_TRUE(waitUntil([&] { return serverHeight(*window) == qRound(form->implicitHeight()); }, waitLimit));

    const qreal before = form->implicitHeight();
    QMetaObject::invokeMethod(findItem(window, QStringLiteral("accessibilityEnable")), "clicked");
    ASSERT_TRUE(waitUntil([&] { return form->implicitHeight() > before; }, waitLimit)) << "the restart caption";
    EXPECT_TRUE(waitUntil([&] { return serverHeight(*window) == qRound(form->implicitHeight()); }, waitLimit))
        << serverHeight(*window) << " for a form of " << form->implicitHeight();
    EXPECT_TRUE(waitUntil([&] { return window->height() == qRound(form->implicitHeight()); }, waitLimit));
    PrivacySettingsOpening::install(nullptr);
    EXPECT_TRUE(qml.warnings().isEmpty()) << qml.warnings().join('\n').toStdString();
}

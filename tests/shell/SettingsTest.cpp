// The settings window: its model's rules headless, then the form itself offscreen.
#include "SettingsScene.h"
#include "globalshortcuts/qml/QmlValues.h"
#include "tavrine/shell/SettingsWindowTitle.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::shell;
using namespace tavrine::test;

namespace {

// Catches what would be handed to the desktop's mail program.
class MailCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

} // namespace

TEST(SettingsModel, TheFeedbackMailNamesTheVersionAndTheSystem) {
    struct Case {
        const char* version;
        const char* type;
        const char* productVersion;
        const char* subject;
    };
    const Case cases[] = {
        {"1.4.2", "debian", "12", "Tavrine 1.4.2 feedback (debian 12)"},
        {"1.4.2", "unknown", "unknown", "Tavrine 1.4.2 feedback (Linux 6.1.0-test)"},
        {"1.4.2", "arch", "unknown", "Tavrine 1.4.2 feedback (arch unknown)"},
        {"", "fedora", "40", "Tavrine  feedback (fedora 40)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SettingsModel::feedbackSubject(QString::fromLatin1(c.version), QString::fromLatin1(c.type),
                                                 QString::fromLatin1(c.productVersion), QStringLiteral("6.1.0-test")),
                  QString::fromLatin1(c.subject));

    // What the desktop is handed, exactly: every space %20, never "+".
    SettingsScene s;
    const QString previousVersion = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("1.4.2"));
    MailCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "open");
    s.model->sendFeedback();
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    QCoreApplication::setApplicationVersion(previousVersion);
    ASSERT_EQ(catcher.opened.size(), 1);
    const bool unknown = QSysInfo::productType() == QLatin1String("unknown") &&
                         QSysInfo::productVersion() == QLatin1String("unknown");
    const QString system = unknown ? QStringLiteral("Linux%20") + QSysInfo::kernelVersion()
                                   : QSysInfo::productType() + QStringLiteral("%20") + QSysInfo::productVersion();
    EXPECT_EQ(catcher.opened.first().toString(QUrl::FullyEncoded),
              QStringLiteral("mailto:feedback@example.org?subject=Tavrine%201.4.2%20feedback%20(") + system +
                  QLatin1Char(')'));
    EXPECT_FALSE(s.model->showsFeedbackAddress());
}

TEST(SettingsModel, TheLoginSwitchShowsWhatTheDesktopHasAfterEveryAttempt) {
    SettingsScene s;
    QSignalSpy changed(s.model.get(), &SettingsModel::launchesAtLoginChanged);
    EXPECT_FALSE(s.model->launchesAtLogin());

    s.model->setLaunchAtLogin(true);
    EXPECT_TRUE(s.model->launchesAtLogin());
    EXPECT_EQ(s.login.registerCalls, 1);
    s.model->setLaunchAtLogin(false);
    EXPECT_FALSE(s.model->launchesAtLogin());
    EXPECT_EQ(s.login.unregisterCalls, 1);

    // A refused write leaves the switch off, and says so to a switch that had flipped itself.
    s.login.failWith = QStringLiteral("read-only autostart folder");
    changed.clear();
    s.model->setLaunchAtLogin(true);
    EXPECT_FALSE(s.model->launchesAtLogin());
    EXPECT_GE(changed.count(), 1);

    // Only an enabled entry counts; the others read as off when the window shows or the application comes back.
    using Status = platform::LoginItem::Status;
    for (Status status : {Status::Enabled, Status::RequiresApproval, Status::NotFound, Status::NotRegistered}) {
        s.login.state = status;
        emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
        EXPECT_EQ(s.model->launchesAtLogin(), status == Status::Enabled) << int(status);
    }
    s.login.state = Status::Enabled;
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(s.model->launchesAtLogin()) << "only becoming active reads again";
    s.model->refreshStatus();
    EXPECT_TRUE(s.model->launchesAtLogin());
}

TEST(SettingsModel, PermissionRequestsGoToTheDesktopAndTheRefreshReadsThemAgain) {
    SettingsScene s;
    EXPECT_EQ(SettingsModel::permissionSymbol(true), QStringLiteral("checkmark.circle"));
    EXPECT_EQ(SettingsModel::permissionSymbol(false), QStringLiteral("circle"));

    s.h.observer->setPermissions(false, true);
    s.model->refreshStatus();
    EXPECT_FALSE(s.h.session->accessibilityReady());
    EXPECT_FALSE(s.model->accessibilityRequested());

    s.h.observer->setPermissions(true, true);
    s.model->requestAccessibility();
    s.model->requestScreenRecording();
    EXPECT_EQ(s.privacy->anchors,
              (QStringList{QStringLiteral("Privacy_Accessibility"), QStringLiteral("Privacy_ScreenCapture")}));
    EXPECT_TRUE(s.model->accessibilityRequested()) << "the restart caption shows from now on";
    EXPECT_TRUE(s.h.session->accessibilityReady());
}

// Checking for updates and quitting are clicked through the form below.
TEST(SettingsModel, UpdateCaptionsVersionAndShortcut) {
    SettingsScene s;
    EXPECT_EQ(s.model->updateCaption(), QString()) << "nothing to say before the user asks";
    EXPECT_EQ(SettingsModel::updateCaptionFor(QStringLiteral("check failed: offline"), false),
              QStringLiteral("The update check failed: offline"));
    EXPECT_EQ(SettingsModel::updateCaptionFor(QStringLiteral("update 2.0 is ready"), false),
              QStringLiteral("Version 2.0 is ready and installs when Tavrine restarts."));
    // Without an update source nothing is installed automatically, and the settings do not say it is.
    EXPECT_EQ(s.model->updatePolicyCaption(), SettingsModel::updatePolicyCaptionFor(false));
    EXPECT_FALSE(s.model->updatePolicyCaption().contains(QStringLiteral("automatically")));
    EXPECT_TRUE(
        SettingsModel::updatePolicyCaptionFor(true).startsWith(QStringLiteral("Updates are checked every hour")));

    EXPECT_EQ(s.model->versionText(), QStringLiteral("Version ") + QCoreApplication::applicationVersion());
    EXPECT_EQ(s.model->openMainWindowShortcut().value<globalshortcuts::ShortcutNameValue>().rawValue(),
              QStringLiteral("openMainWindow"));
}

TEST(SettingsWindowTitle, TheTitleReturnsToSettingsAfterAnyChange) {
    QWindow window;
    window.setTitle(QStringLiteral("Tavrine"));
    SettingsWindowTitle title;
    title.setWindow(&window);
    EXPECT_EQ(window.title(), QStringLiteral("Settings"));
    EXPECT_EQ(window.objectName(), QStringLiteral("settings"));
    window.setTitle(QStringLiteral("Preferences"));
    EXPECT_EQ(window.title(), QStringLiteral("Settings"));
}

TEST(SettingsView, ShowsTheFormAndClearsThroughItsDialog) {
    SettingsWindowScene s;
    ASSERT_TRUE(s.window);
    s.h.observer->setPermissions(false, true);
    s.login.state = platform::LoginItem::Status::Enabled;
    s.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.window));
    EXPECT_EQ(s.window->title(), QStringLiteral("Settings"));
    EXPECT_TRUE(s.item("launchAtLoginSwitch")->property("checked").toBool()) << "read when the window showed";
    EXPECT_EQ(s.item("accessibilitySymbol")->property("symbol").toString(), QStringLiteral("circle"));
    EXPECT_TRUE(s.item("accessibilityEnable")->isVisible());
    EXPECT_FALSE(s.item("screenRecordingEnable")->isVisible());
    EXPECT_FALSE(s.item("screenRecordingCaption")->isVisible());
    EXPECT_FALSE(s.item("restartCaption")->isVisible());
    EXPECT_FALSE(s.item("settingsFileCaption")->isVisible());
    s.click("accessibilityEnable");
    EXPECT_TRUE(s.item("restartCaption")->isVisible());
    EXPECT_EQ(s.item("appVersion")->property("text").toString(), s.model->versionText());
    // Every button of the form is the adaptive pill, never prominent, and every switch is a pill switch (the
    // shortcut recorder keeps its own controls).
    QList<QQuickItem*> controls = s.item("settingsForm")->childItems();
    int buttons = 0;
    while (!controls.isEmpty()) {
        QQuickItem* control = controls.takeFirst();
        if (control->objectName() != QLatin1String("openTavrineShortcut"))
            controls += control->childItems();
        if (!control->inherits("QQuickAbstractButton") || !control->isVisible())
            continue;
        ++buttons;
        if (control->inherits("QQuickSwitch"))
            EXPECT_TRUE(findItem(control, QStringLiteral("pillSwitchTrack"))) << control->objectName().toStdString();
        else
            EXPECT_EQ(control->property("drawnProminent"), QVariant(false)) << control->objectName().toStdString();
    }
    EXPECT_EQ(buttons, 6); // Enable, two switches, Clear history…, Check for Updates…, Quit

    // The switch turned on against a refusing desktop turns itself off again.
    s.login.state = platform::LoginItem::Status::NotRegistered;
    s.login.failWith = QStringLiteral("no");
    s.model->refreshStatus();
    QQuickItem* loginSwitch = s.item("launchAtLoginSwitch");
    loginSwitch->setProperty("checked", true);
    QMetaObject::invokeMethod(loginSwitch, "toggled");
    EXPECT_FALSE(loginSwitch->property("checked").toBool());

    s.recordSessions(2);
    QObject* dialog = findObject(s.window, QStringLiteral("clearHistoryDialog"));
    ASSERT_TRUE(dialog);
    s.click("clearHistory");
    EXPECT_TRUE(dialog->property("visible").toBool());
    s.click("cancelClearHistory");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->property("visible").toBool(); }));
    EXPECT_EQ(s.history->sessionCount(), 2) << "Cancel deletes nothing";

    s.refuseDeletes();
    s.click("clearHistory");
    s.click("confirmClearHistory");
    EXPECT_EQ(s.history->sessionCount(), 2);
    EXPECT_TRUE(s.item("clearHistoryError")->isVisible());
    // The store's own reason follows the caption.
    const QString error = s.item("clearHistoryError")->property("text").toString();
    EXPECT_TRUE(error.startsWith(QStringLiteral("Could not clear history. "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("the disk said no"))) << error.toStdString();

    s.allowDeletes();
    s.click("clearHistory");
    s.click("confirmClearHistory");
    EXPECT_EQ(s.history->sessionCount(), 0);
    EXPECT_FALSE(s.item("clearHistoryError")->isVisible());
    EXPECT_EQ(s.model->clearHistoryError(), QString());

    s.click("checkForUpdates");
    EXPECT_EQ(s.item("updateCaption")->property("text").toString(),
              QStringLiteral("No update source is set up in this build."));
    s.click("quit");
    EXPECT_EQ(s.quits, 1);

    // The form is taller than this screen: the window stays on it and the form scrolls down to its last row.
    EXPECT_LE(s.window->height(), s.window->screen()->availableGeometry().height());
    auto* flickable = s.item("settingsScroller")->property("contentItem").value<QQuickItem*>();
    ASSERT_TRUE(flickable);
    const qreal hidden = flickable->property("contentHeight").toReal() - flickable->height();
    EXPECT_GT(hidden, 0);
    flickable->setProperty("contentY", hidden);
    QQuickItem* version = s.item("appVersion");
    EXPECT_LE(version->mapToItem(s.window->contentItem(), QPointF(0, version->height())).y(), s.window->height());
    EXPECT_TRUE(s.harness.warnings().isEmpty()) << s.harness.warnings().join(QLatin1Char('\n')).toStdString();
}

#include "SettingsTest.moc"

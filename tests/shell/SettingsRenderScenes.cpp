// The settings window for scripts/render-views: light, dark, dark with no permission granted, after a refused
// clear, and with each of its dialogs open in the dark.
#include "globalshortcuts/KeyboardLayout.h"
#include "globalshortcuts/Registry.h"
#include "globalshortcuts/Texts.h"
#include "historystore/HistoryTestSupport.h"
#include "session/SessionHarness.h"
#include "support/DarkScheme.h"
#include "support/QmlTestSupport.h"
#include "support/RenderScenes.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/platform/LoginItem.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/shell/SettingsModel.h"
#include "tavrine/shell/UpdaterController.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QQuickWindow>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

namespace {

using namespace tavrine::test;

// Launch at login switched on, nothing else to report.
class EnabledLoginItem final : public tavrine::platform::LoginItem {
public:
    Status status() const override { return Status::Enabled; }
    void registerItem() override {}
    void unregisterItem() override {}
};

// The settings window of a first launch on a desktop without a compositor; `failedClear` shows the answer to a
// clear that the store refused.
// The render has no X keyboard: P types "p", as on a "us" layout, so the shortcut reads as on a desktop.
class SampleLayout final : public globalshortcuts::KeyboardLayout {
public:
    std::optional<QString> character(qint64 code) const override {
        return code == 35 ? std::optional<QString>(QStringLiteral("p")) : std::nullopt;
    }
};

// A dialog open over the window: the recorder's alert (a shortcut the system holds), or the confirmation of
// "Clear history…".
enum class Dialog { None, RecorderAlert, ClearConfirmation };

// `ungranted`: neither permission granted, so both rows show their empty circle and "Enable".
QImage settingsWindow(QmlHarness& harness, bool dark, bool failedClear, bool ungranted = false,
                      Dialog dialog = Dialog::None) {
    static SampleLayout layout;
    globalshortcuts::Registry::instance().install({nullptr, nullptr, &layout, nullptr, nullptr, nullptr});
    const DarkScheme scheme(dark);
    QTemporaryDir folder;
    tavrine::SessionHistory::Options options;
    options.folder = folder.path();
    tavrine::SessionHistory history(options);
    history.open();
    tavrine::MemoryUserDefaults defaults;
    tavrine::FocusSessionOptions sessionOptions;
    sessionOptions.demo = true;
    sessionOptions.defaults = &defaults;
    tavrine::FocusSession demoSession(std::move(sessionOptions));
    std::optional<SessionHarness> withPermissions;
    if (ungranted) {
        withPermissions.emplace();
        withPermissions->observer->setPermissions(false, false);
    }
    tavrine::FocusSession& session = ungranted ? *withPermissions->session : demoSession;
    tavrine::shell::UpdaterController updater(nullptr, nullptr, [] {});
    EnabledLoginItem login;
    tavrine::shell::SettingsModel model(
        {&session, &history, &updater, &login, [] {}, QStringLiteral("feedback@example.org"), QString()});
    if (failedClear) {
        history.record(tavrine::test::sampleSummary(), sceneNow());
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("render-raw"));
            raw.setDatabaseName(history.storePath());
            raw.open();
            QSqlQuery(raw).exec(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON session "
                                               "BEGIN SELECT RAISE(ABORT, 'database is locked'); END"));
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("render-raw"));
        model.clearHistory();
        model.checkForUpdates();
    }
    QImage image;
    std::unique_ptr<QObject> object =
        harness.create(tavrine::ui::componentUrl(QStringLiteral("Tavrine.Shell"), QStringLiteral("SettingsWindow")),
                       {{QStringLiteral("session"), QVariant::fromValue<QObject*>(&session)},
                        {QStringLiteral("settings"), QVariant::fromValue<QObject*>(&model)}});
    if (auto* window = qobject_cast<QQuickWindow*>(object.get())) {
        scheme.apply(window);
        window->show();
        if (QTest::qWaitForWindowExposed(window)) {
            if (dialog == Dialog::RecorderAlert) {
                QObject* recorder = findObject(window, QStringLiteral("openTavrineShortcut"));
                auto* controller = recorder ? recorder->property("controller").value<QObject*>() : nullptr;
                if (!controller)
                    return {};
                using globalshortcuts::localizedText;
                QMetaObject::invokeMethod(
                    controller, "alertRequested",
                    Q_ARG(QString, localizedText(QStringLiteral("keyboard_shortcut_used_by_system"))),
                    Q_ARG(QString, localizedText(QStringLiteral("keyboard_shortcuts_can_be_changed"))),
                    Q_ARG(QStringList, QStringList({localizedText(QStringLiteral("ok")),
                                                    localizedText(QStringLiteral("force_use_shortcut"))})));
            } else if (dialog == Dialog::ClearConfirmation) {
                QMetaObject::invokeMethod(findObject(window, QStringLiteral("clearHistoryDialog")), "open");
            }
            image = grabScene(*window);
        }
    }
    object.reset();
    return image;
}

void addSettingsScenes(std::vector<RenderScene>& scenes) {
    scenes.push_back({QStringLiteral("window-settings"), QStringLiteral("light"),
                      [](QmlHarness& h) { return settingsWindow(h, false, false); }});
    scenes.push_back({QStringLiteral("window-settings"), QStringLiteral("dark"),
                      [](QmlHarness& h) { return settingsWindow(h, true, false); }});
    scenes.push_back({QStringLiteral("window-settings"), QStringLiteral("ungranted-dark"),
                      [](QmlHarness& h) { return settingsWindow(h, true, false, true); }});
    scenes.push_back({QStringLiteral("window-settings"), QStringLiteral("clear-failed"),
                      [](QmlHarness& h) { return settingsWindow(h, false, true); }});
    scenes.push_back({QStringLiteral("window-settings"), QStringLiteral("recorder-alert-dark"),
                      [](QmlHarness& h) { return settingsWindow(h, true, false, false, Dialog::RecorderAlert); }});
    scenes.push_back({QStringLiteral("window-settings"), QStringLiteral("clear-confirmation-dark"),
                      [](QmlHarness& h) { return settingsWindow(h, true, false, false, Dialog::ClearConfirmation); }});
}

} // namespace

TAVRINE_RENDER_SCENES(addSettingsScenes)

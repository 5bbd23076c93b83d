#pragma once
#include "fakes/FakeLoginItem.h"
#include "historystore/HistoryTestSupport.h"
#include "session/SessionHarness.h"
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/model/PrivacySettingsOpening.h"
#include "tavrine/shell/SettingsModel.h"
#include "tavrine/shell/UpdaterController.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QCoreApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <gtest/gtest.h>

namespace tavrine::test {

class RecordingPrivacySettings final : public PrivacySettingsOpening {
public:
    QStringList anchors;
    void openAnchor(const QString& anchor) override { anchors << anchor; }
};

// The settings of a running application: the real session and a history store on disk, fakes for the rest.
struct SettingsScene {
    SettingsScene() {
        SessionHistory::Options options;
        options.folder = temporaryFolder();
        history = std::make_unique<SessionHistory>(options);
        PrivacySettingsOpening::install(privacy);
        updater = std::make_unique<shell::UpdaterController>(nullptr, nullptr, [] {});
        model = std::make_unique<shell::SettingsModel>(
            shell::SettingsModel::Parts{h.session.get(), history.get(), updater.get(), &login, [this] { ++quits; },
                                        QStringLiteral("feedback@example.org"), QString()});
    }
    ~SettingsScene() { PrivacySettingsOpening::install(nullptr); }

    void recordSessions(int count) {
        for (int i = 0; i < count; ++i)
            history->record(sampleSummary(sessionStart.addSecs(3600 * i)), sessionStart);
    }
    // Makes the store refuse every delete, as a locked or damaged database would.
    void refuseDeletes() {
        RawConnection raw(history->storePath());
        ASSERT_TRUE(raw.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON session "
                                            "BEGIN SELECT RAISE(ABORT, 'the disk said no'); END")));
    }
    void allowDeletes() {
        RawConnection raw(history->storePath());
        ASSERT_TRUE(raw.exec(QStringLiteral("DROP TRIGGER refuse")));
    }

    SessionHarness h;
    std::shared_ptr<RecordingPrivacySettings> privacy = std::make_shared<RecordingPrivacySettings>();
    std::unique_ptr<SessionHistory> history;
    std::unique_ptr<shell::UpdaterController> updater;
    FakeLoginItem login;
    std::unique_ptr<shell::SettingsModel> model;
    int quits = 0;
};

// The same with the settings window made over it, not yet shown.
struct SettingsWindowScene : SettingsScene {
    SettingsWindowScene() {
        object = harness.create(ui::componentUrl(QStringLiteral("Tavrine.Shell"), QStringLiteral("SettingsWindow")),
                                {{QStringLiteral("session"), QVariant::fromValue<QObject*>(h.session.get())},
                                 {QStringLiteral("settings"), QVariant::fromValue<QObject*>(model.get())}});
        window = qobject_cast<QQuickWindow*>(object.get());
    }
    QQuickItem* item(const char* name) { return findItem(window, QString::fromLatin1(name)); }
    void click(const char* name) {
        QQuickItem* button = item(name);
        ASSERT_TRUE(button) << name;
        QMetaObject::invokeMethod(button, "clicked");
        QCoreApplication::processEvents();
    }

    QmlHarness harness;
    std::unique_ptr<QObject> object;
    QQuickWindow* window = nullptr;
};

} // namespace tavrine::test

// The main of every test executable: isolates HOME and the XDG folders in a temporary folder (so no test
// touches the user's settings, data or keyring) and creates the Qt application object the tests need.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef TAVRINE_TEST_GUI
#include <QApplication>
#endif

#ifdef TAVRINE_TEST_WEBENGINE
#include "tavrine/onboarding/PlayerProcess.h"
#include "tavrine/onboarding/WebEngineSanitizerOptions.h"
#endif

#include <cstdlib>

int main(int argc, char** argv) {
#ifdef TAVRINE_TEST_WEBENGINE
    // The web video player's process, started by the code under test as the application starts it.
    if (tavrine::PlayerProcess::isPlayerLaunch(argc, argv))
        return tavrine::PlayerProcess::run(argc, argv);
#endif
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tavrine-test-XXXXXX"));
    if (!home.isValid())
        return 2;
    const QByteArray root = home.path().toUtf8();
    const QByteArray runtime = qEnvironmentVariableIsSet("TAVRINE_TEST_XDG_RUNTIME_DIR")
                                   ? qgetenv("TAVRINE_TEST_XDG_RUNTIME_DIR")
                                   : root + "/runtime";
    for (const char* sub : {"/config", "/data", "/cache", "/runtime"})
        QDir().mkpath(QString::fromUtf8(root + sub));
    QFile::setPermissions(QString::fromUtf8(root + "/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                     QFileDevice::ExeOwner);
    qputenv("HOME", root);
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("XDG_RUNTIME_DIR", runtime);
    // A test must never reach a real service or keyring by accident.
    qunsetenv("TAVRINE_API_BASE_URL");
    qunsetenv("TAVRINE_API_TOKEN");
    qunsetenv("TAVRINE_LOG_PRIVATE");

    ::testing::InitGoogleTest(&argc, argv);
#ifdef TAVRINE_TEST_GUI
    // A QApplication, since the tray icon and menus are widgets.
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}

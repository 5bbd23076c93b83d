#include "HarnessRun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTest>
#include <sys/stat.h>

using namespace tavrine::test;

using CommandLineRun = HarnessRun;

TEST_F(CommandLineRun, BadOptionsAndUnusableCasesFilesStopBeforeAnyRequest) {
    write(QStringLiteral("cases.json"),
          R"([{"id": "a", "app": "A", "intention": "i", "text": "t", "expected": "relevant"}])");
    QDir(m_folder.path()).mkdir(QStringLiteral("folder.json"));
    // Every task's file must read as evaluation cases, the nudge writer's too.
    write(QStringLiteral("label.json"), R"([{"id": "n", "intention": "i", "expected": "Relevant"}])");
    write(QStringLiteral("object.json"), R"({"id": "n"})");
    // Just over the largest cases file read; sparse, so it costs no disk.
    QFile huge(write(QStringLiteral("huge.json"), "["));
    ASSERT_TRUE(huge.resize(256 * 1024 * 1024 + 1));
    // A pipe nobody writes to: opening it would wait for ever.
    ASSERT_EQ(mkfifo(QFile::encodeName(path(QStringLiteral("pipe.json"))).constData(), 0600), 0);
    const QString failed = QStringLiteral("Eval failed: ");
    const QString badFormat =
        failed + QStringLiteral("The data couldn't be read because it isn't in the correct format");
    const std::pair<QString, QString> stops[] = {
        {QStringLiteral("--eval"), failed + QStringLiteral("Missing value for --cases\n")},
        {QStringLiteral("--cases=cases.json --task Judge"), failed + QStringLiteral("Unknown argument --task Judge\n")},
        {QStringLiteral("--eval cases.json"), failed + QStringLiteral("Unknown argument cases.json\n")},
        {QStringLiteral("--cases gone.json"),
         failed + QStringLiteral("Cannot read ") + path(QStringLiteral("gone.json")) + QStringLiteral(": ")},
        {QStringLiteral("--cases folder.json"), failed + QStringLiteral("Cannot read ") + path("folder.json")},
        {QStringLiteral("--cases="), failed + QStringLiteral("Cannot read ") + m_folder.path()},
        {QStringLiteral("--cases /dev/zero"),
         failed + QStringLiteral("Cannot read /dev/zero: File is larger than 256 MB\n")},
        {QStringLiteral("--cases pipe.json"), failed + QStringLiteral("Cannot read ") + path("pipe.json") +
                                                  QStringLiteral(": File is larger than 256 MB\n")},
        {QStringLiteral("--task nudge --cases huge.json"), failed + QStringLiteral("Cannot read ") + path("huge.json") +
                                                               QStringLiteral(": File is larger than 256 MB\n")},
        {QStringLiteral("--task=nudge --cases=label.json"), badFormat},
        {QStringLiteral("--task=judge --cases=object.json"), badFormat},
    };
    for (const auto& [arguments, message] : stops)
        EXPECT_EQ(expectStop(arguments, message).out, QString()) << "no header line for " << arguments.toStdString();
    EXPECT_TRUE(m_api.requests().isEmpty());
    EXPECT_FALSE(exists(QStringLiteral("e2e-results.json")));
}

TEST_F(CommandLineRun, EmptyCaseListsWriteEmptyReports) {
    write(QStringLiteral("sub/empty.json"), "[]");
    const HarnessOutcome e2e = run(QStringLiteral("--cases=sub/./empty.json"));
    EXPECT_EQ(e2e.status, 0) << e2e.err.toStdString();
    EXPECT_EQ(e2e.outLines().mid(1),
              QStringList({QStringLiteral("accuracy=0/0"),
                           QStringLiteral("wrote ") + path(QStringLiteral("sub/e2e-results.json"))}));
    const HarnessOutcome judge = run(QStringLiteral("--task judge --cases sub/empty.json --out=j.json"));
    EXPECT_EQ(judge.status, 0);
    EXPECT_EQ(judge.outLines().value(2), QStringLiteral("wrote ") + path(QStringLiteral("j.json")));
    const HarnessOutcome nudge = run(QStringLiteral("--task=nudge --cases=sub/empty.json"));
    EXPECT_EQ(nudge.status, 0);
    EXPECT_EQ(nudge.outLines(), QStringList({QStringLiteral("id\tlatency_s\toutput"),
                                             QStringLiteral("wrote ") + path(QStringLiteral("sub/results.json")) +
                                                 QStringLiteral(" p50=0.000s total=0.000s")}));

    for (const QString& report :
         {QStringLiteral("sub/e2e-results.json"), QStringLiteral("j.json"), QStringLiteral("sub/results.json")}) {
        const QJsonObject object = this->report(report);
        EXPECT_EQ(object.value(QStringLiteral("cases")), QJsonValue(QJsonArray())) << report.toStdString();
        EXPECT_EQ(object.value(QStringLiteral("cases_path")).toString(), path(QStringLiteral("sub/empty.json")));
    }
    EXPECT_EQ(this->report(QStringLiteral("sub/results.json")).value(QStringLiteral("model")).toString(), QString());
    EXPECT_TRUE(m_api.requests().isEmpty());
}

TEST_F(CommandLineRun, ARunWithoutAddressOrTokenSaysHowToGiveThem) {
    write(QStringLiteral("empty.json"), "[]");
    QProcessEnvironment environment;
    // No session bus: the keyring read fails at once and never reaches a real keyring.
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + path(QStringLiteral("no-bus")));
    const HarnessOutcome outcome = run({QStringLiteral("--cases=empty.json")}, environment,
                                       {QStringLiteral("TAVRINE_API_BASE_URL"), QStringLiteral("TAVRINE_API_TOKEN")});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.err.count(QStringLiteral("No API address configured: TAVRINE_API_BASE_URL is unset")), 1)
        << outcome.err.toStdString();
    EXPECT_EQ(outcome.err.count(QStringLiteral("No API token: set TAVRINE_API_TOKEN, or store the token in the Secret "
                                               "Service with: secret-tool store --label=\"Tavrine API token\" "
                                               "service com.dravolence.tavrine key api-token\n")),
              1)
        << outcome.err.toStdString();
    // Configured, neither line shows.
    const HarnessOutcome configured = run(QStringLiteral("--cases=empty.json"));
    EXPECT_FALSE(configured.err.contains(QStringLiteral("No API"))) << configured.err.toStdString();

    // A refused address fails each case with a code and a sentence of its own, never as a missing token.
    write(QStringLiteral("one.json"),
          R"([{"id": "a", "app": "A", "intention": "i", "text": "t", "expected": "relevant"}])");
    QProcessEnvironment plainHttp;
    plainHttp.insert(QStringLiteral("TAVRINE_API_BASE_URL"), QStringLiteral("http://api.example.org"));
    const HarnessOutcome refused = run({QStringLiteral("--task=judge"), QStringLiteral("--cases=one.json")}, plainHttp);
    EXPECT_EQ(refused.status, 0) << refused.err.toStdString();
    EXPECT_EQ(refused.err.count(QStringLiteral(
                  "Case a failed: The API address is refused: TAVRINE_API_BASE_URL uses plain http on a host that is "
                  "not a loopback address. No request was sent.\n")),
              1)
        << refused.err.toStdString();
    EXPECT_EQ(caseAt(this->report(QStringLiteral("judge-results.json")), 0).value(QStringLiteral("error")).toString(),
              QStringLiteral("typesafeAddressRefused"));
}

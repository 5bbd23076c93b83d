#include "HarnessRun.h"

#include <QJsonArray>

using namespace tavrine::test;

using CommandLineRun = HarnessRun;

TEST_F(CommandLineRun, OptionErrorsStopBeforeAnythingIsRead) {
    write(QStringLiteral("cases.json"),
          R"([{"id": "a", "app": "A", "intention": "i", "text": "t", "expected": "relevant"}])");
    const std::vector<std::pair<QStringList, QString>> refusals = {
        {{QStringLiteral("--eval")}, QStringLiteral("Missing value for --cases")},
        {{QStringLiteral("--cases=cases.json"), QStringLiteral("--task"), QStringLiteral("Judge")},
         QStringLiteral("Unknown argument --task Judge")},
        {{QStringLiteral("--eval"), QStringLiteral("cases.json")}, QStringLiteral("Unknown argument cases.json")},
    };
    for (const auto& [arguments, message] : refusals) {
        const HarnessOutcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.out, QString());
        EXPECT_TRUE(outcome.err.endsWith(QStringLiteral("Eval failed: ") + message + QLatin1Char('\n')))
            << outcome.err.toStdString();
    }
    EXPECT_TRUE(m_api.requests().isEmpty());
    EXPECT_FALSE(exists(QStringLiteral("e2e-results.json")));
}

TEST_F(CommandLineRun, UnreadableOrUndecodableCasesFiles) {
    QDir(m_folder.path()).mkdir(QStringLiteral("folder.json"));
    // Every task's file must read as evaluation cases, the nudge writer's too.
    write(QStringLiteral("label.json"), R"([{"id": "n", "intention": "i", "expected": "Relevant"}])");
    write(QStringLiteral("object.json"), R"({"id": "n"})");
    const std::vector<std::pair<QStringList, QString>> failures = {
        {{QStringLiteral("--cases"), QStringLiteral("gone.json")},
         QStringLiteral("Eval failed: Cannot read ") + path(QStringLiteral("gone.json")) + QStringLiteral(": ")},
        {{QStringLiteral("--cases"), QStringLiteral("folder.json")},
         QStringLiteral("Eval failed: Cannot read ") + path(QStringLiteral("folder.json"))},
        {{QStringLiteral("--cases=")}, QStringLiteral("Eval failed: Cannot read ") + m_folder.path()},
        {{QStringLiteral("--task=nudge"), QStringLiteral("--cases=label.json")},
         QStringLiteral("Eval failed: The data couldn't be read because it isn't in the correct format")},
        {{QStringLiteral("--task=judge"), QStringLiteral("--cases=object.json")},
         QStringLiteral("Eval failed: The data couldn't be read because it isn't in the correct format")},
    };
    for (const auto& [arguments, message] : failures) {
        const HarnessOutcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.out, QString()) << "no header line";
        EXPECT_TRUE(outcome.err.contains(message)) << outcome.err.toStdString();
    }
    EXPECT_TRUE(m_api.requests().isEmpty());
}

TEST_F(CommandLineRun, EmptyCaseListsWriteEmptyReports) {
    write(QStringLiteral("sub/empty.json"), "[]");
    const HarnessOutcome e2e = run({QStringLiteral("--cases=sub/./empty.json")});
    EXPECT_EQ(e2e.status, 0) << e2e.err.toStdString();
    EXPECT_EQ(e2e.outLines().mid(1),
              QStringList({QStringLiteral("accuracy=0/0"),
                           QStringLiteral("wrote ") + path(QStringLiteral("sub/e2e-results.json"))}));
    const HarnessOutcome judge = run({QStringLiteral("--task"), QStringLiteral("judge"), QStringLiteral("--cases"),
                                      QStringLiteral("sub/empty.json"), QStringLiteral("--out=j.json")});
    EXPECT_EQ(judge.status, 0);
    EXPECT_EQ(judge.outLines().value(2), QStringLiteral("wrote ") + path(QStringLiteral("j.json")));
    const HarnessOutcome nudge = run({QStringLiteral("--task=nudge"), QStringLiteral("--cases=sub/empty.json")});
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

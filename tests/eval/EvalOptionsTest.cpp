#include "tavrine/eval/EvalOptions.h"
#include "tavrine/eval/EvalError.h"

#include <QDir>
#include <gtest/gtest.h>
#include <vector>

using namespace tavrine::eval;

namespace {

QStringList args(std::initializer_list<const char*> list) {
    QStringList result{QStringLiteral("/usr/bin/tavrine")};
    for (const char* a : list)
        result.append(QString::fromUtf8(a));
    return result;
}

QString here(const QString& relative) {
    return QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + relative);
}

// The message the harness prints for a refused command line.
QString refusal(const QStringList& arguments) {
    try {
        parseEvalOptions(arguments);
    } catch (const EvalError& e) {
        return e.description();
    }
    return QStringLiteral("<accepted>");
}

} // namespace

TEST(EvalOptions, AcceptedCommandLines) {
    EvalOptions defaults = parseEvalOptions(args({"--eval", "--cases", "/data/cases.json"}));
    EXPECT_EQ(defaults.task, EvalTask::E2E);
    EXPECT_EQ(defaults.cases, QStringLiteral("/data/cases.json"));
    EXPECT_FALSE(defaults.output.has_value());
    EXPECT_FALSE(defaults.expand);

    // "=" forms, a relative path taken from the current folder and cleaned, repeats where the last one wins.
    EvalOptions full =
        parseEvalOptions(args({"--cases=x/../a/./c.json", "--task", "judge", "--out=out/r.json", "--expand", "--expand",
                               "--eval", "--task=nudge", "--cases", "b.json", "--out", "/tmp//r2.json"}));
    EXPECT_EQ(full.task, EvalTask::Nudge);
    EXPECT_EQ(full.cases, here(QStringLiteral("b.json")));
    EXPECT_EQ(full.output, QStringLiteral("/tmp/r2.json"));
    EXPECT_TRUE(full.expand);

    EXPECT_EQ(parseEvalOptions(args({"--cases=x/../a/./c.json"})).cases, here(QStringLiteral("a/c.json")));
    // An empty cases text names the current folder; reading it fails later, not here.
    EXPECT_EQ(parseEvalOptions(args({"--cases="})).cases, QDir::currentPath());
    // A value that looks like an option is still the value.
    EXPECT_EQ(parseEvalOptions(args({"--cases", "--expand"})).cases, here(QStringLiteral("--expand")));
    EXPECT_FALSE(parseEvalOptions(args({"--cases", "--expand"})).expand);
}

TEST(EvalOptions, RefusedCommandLines) {
    const std::vector<std::pair<QStringList, const char*>> cases = {
        {QStringList{}, "Missing value for --cases"},
        {args({"--eval", "--expand", "--task", "judge"}), "Missing value for --cases"},
        {args({"--cases", "c.json", "cases.json"}), "Unknown argument cases.json"},
        {args({"--cases", "c.json", "--out"}), "Unknown argument --out"},
        {args({"--task", "--expand", "--cases", "c.json"}), "Unknown argument --task --expand"},
        {args({"--task", "Judge", "--cases", "c.json"}), "Unknown argument --task Judge"},
        {args({"--task=", "--cases", "c.json"}), "Unknown argument --task "},
        {args({"-cases", "c.json"}), "Unknown argument -cases"},
        // The first refusal ends the walk: a bad task before a stray argument names the task.
        {args({"--task=x", "stray"}), "Unknown argument --task x"},
    };
    for (const auto& [arguments, message] : cases)
        EXPECT_EQ(refusal(arguments), QString::fromUtf8(message)) << arguments.join(QLatin1Char(' ')).toStdString();
}

TEST(EvalOptions, LaunchDecisionOnRawAndParsedArguments) {
    const std::vector<std::pair<std::vector<const char*>, bool>> cases = {
        {{"tavrine", "--eval"}, true},
        {{"tavrine", "--demo", "--cases"}, true},
        {{"tavrine", "--cases=c.json"}, true},
        {{"--eval"}, true}, // the program path counts too
        {{"tavrine", "--casesfile"}, false},
        {{"tavrine", "--task", "judge", "--out", "r.json", "--expand"}, false},
        {{"tavrine", "--EVAL", "--Cases=x"}, false},
    };
    for (const auto& [argv, expected] : cases) {
        QStringList list;
        for (const char* a : argv)
            list.append(QString::fromUtf8(a));
        EXPECT_EQ(isEvalLaunch(int(argv.size()), argv.data()), expected) << list.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(isEvalLaunch(list), expected) << list.join(QLatin1Char(' ')).toStdString();
    }
}

#include "tavrine/eval/EvalOptions.h"

#include "tavrine/eval/EvalError.h"

#include <QDir>
#include <cstring>

namespace tavrine::eval {

namespace {
const QString evalFlag = QStringLiteral("--eval");
const QString expandFlag = QStringLiteral("--expand");
const QString taskFlag = QStringLiteral("--task");
const QString casesFlag = QStringLiteral("--cases");
const QString outFlag = QStringLiteral("--out");
const QString taskPrefix = QStringLiteral("--task=");
const QString casesPrefix = QStringLiteral("--cases=");
const QString outPrefix = QStringLiteral("--out=");

EvalTask taskValue(const QString& value) {
    if (const auto task = evalTaskFromRawValue(value))
        return *task;
    throw EvalError::unknownArgument(taskFlag + QLatin1Char(' ') + value);
}
} // namespace

QString rawValue(EvalTask task) {
    switch (task) {
    case EvalTask::E2E:
        return QStringLiteral("e2e");
    case EvalTask::Judge:
        return QStringLiteral("judge");
    case EvalTask::Nudge:
        return QStringLiteral("nudge");
    }
    return {};
}

std::optional<EvalTask> evalTaskFromRawValue(const QString& text) {
    for (auto task : {EvalTask::E2E, EvalTask::Judge, EvalTask::Nudge})
        if (text == rawValue(task))
            return task;
    return std::nullopt;
}

bool isEvalLaunch(int argc, const char* const* argv) {
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i];
        if (!argument)
            continue;
        if (std::strcmp(argument, "--eval") == 0 || std::strcmp(argument, "--cases") == 0 ||
            std::strncmp(argument, "--cases=", 8) == 0)
            return true;
    }
    return false;
}

bool isEvalLaunch(const QStringList& arguments) {
    for (const QString& argument : arguments)
        if (argument == evalFlag || argument == casesFlag || argument.startsWith(casesPrefix))
            return true;
    return false;
}

QString absoluteCleanPath(const QString& path) {
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

EvalOptions parseEvalOptions(const QStringList& arguments) {
    if (arguments.size() < 2)
        throw EvalError::missingValue(casesFlag);

    EvalOptions options;
    std::optional<QString> cases;
    std::optional<QString> output;
    const qsizetype count = arguments.size();
    qsizetype i = 1;
    while (i < count) {
        const QString& argument = arguments[i];
        const bool hasNext = i + 1 < count;
        if (argument == evalFlag) {
            i += 1;
        } else if (argument == expandFlag) {
            options.expand = true;
            i += 1;
        } else if (argument == taskFlag && hasNext) {
            // The value is taken as it stands, even when it looks like another option.
            options.task = taskValue(arguments[i + 1]);
            i += 2;
        } else if (argument.startsWith(taskPrefix)) {
            options.task = taskValue(argument.mid(taskPrefix.size()));
            i += 1;
        } else if (argument == casesFlag && hasNext) {
            cases = arguments[i + 1];
            i += 2;
        } else if (argument.startsWith(casesPrefix)) {
            cases = argument.mid(casesPrefix.size());
            i += 1;
        } else if (argument == outFlag && hasNext) {
            output = arguments[i + 1];
            i += 2;
        } else if (argument.startsWith(outPrefix)) {
            output = argument.mid(outPrefix.size());
            i += 1;
        } else {
            throw EvalError::unknownArgument(argument);
        }
    }
    if (!cases)
        throw EvalError::missingValue(casesFlag);
    options.cases = absoluteCleanPath(*cases);
    if (output)
        options.output = absoluteCleanPath(*output);
    return options;
}

} // namespace tavrine::eval

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
const QString casesPrefix = QStringLiteral("--cases=");

EvalTask taskValue(const QString& value) {
    if (const auto task = evalTaskFromRawValue(value))
        return *task;
    throw EvalError::unknownArgument(taskFlag + QLatin1Char(' ') + value);
}

// The value given to `flag` by the argument at `i`, as "--flag value" or "--flag=value", with `i` moved past what
// it used; nothing, and `i` unchanged, for any other argument or a "--flag" with nothing after it. A separate value
// is taken as it stands, even when it looks like another option.
std::optional<QString> flagValue(const QStringList& arguments, qsizetype& i, const QString& flag) {
    const QString& argument = arguments[i];
    if (argument == flag && i + 1 < arguments.size()) {
        i += 2;
        return arguments[i - 1];
    }
    const QString prefix = flag + QLatin1Char('=');
    if (argument.startsWith(prefix)) {
        i += 1;
        return argument.mid(prefix.size());
    }
    return std::nullopt;
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
        if (argument == evalFlag) {
            i += 1;
        } else if (argument == expandFlag) {
            options.expand = true;
            i += 1;
        } else if (const std::optional<QString> task = flagValue(arguments, i, taskFlag)) {
            options.task = taskValue(*task);
        } else if (const std::optional<QString> value = flagValue(arguments, i, casesFlag)) {
            cases = value;
        } else if (const std::optional<QString> value = flagValue(arguments, i, outFlag)) {
            output = value;
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

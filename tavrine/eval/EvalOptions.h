#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tavrine::eval {

// The three evaluations the harness runs.
enum class EvalTask { E2E, Judge, Nudge };

// "e2e", "judge" or "nudge".
QString rawValue(EvalTask task);
// Recognises a raw value only when it matches exactly (case-sensitive, no trimming).
std::optional<EvalTask> evalTaskFromRawValue(const QString& text);

// The parsed evaluation command line. Paths are absolute and clean ("." and ".." resolved).
struct EvalOptions {
    EvalTask task = EvalTask::E2E;
    QString cases;
    std::optional<QString> output;
    bool expand = false;

    friend bool operator==(const EvalOptions&, const EvalOptions&) = default;
};

// Whether the arguments ask for a headless evaluation: any argument (the program path included) equal to
// "--eval" or "--cases", or beginning with "--cases=". Works on the raw arguments, before any Qt object exists.
bool isEvalLaunch(int argc, const char* const* argv);
bool isEvalLaunch(const QStringList& arguments);

// Parses the process arguments (element 0, the program path, is skipped). Throws EvalError.
EvalOptions parseEvalOptions(const QStringList& arguments);

// A path given on the command line as an absolute, clean path (a relative one is taken from the current folder;
// an empty one names the current folder).
QString absoluteCleanPath(const QString& path);

} // namespace tavrine::eval

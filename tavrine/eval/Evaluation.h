#pragma once

#include <QCoro/QCoroTask>
#include <QStringList>

namespace tavrine::eval {

// The headless evaluation program, started by main() once the arguments asked for an evaluation and before any
// other part of the application exists: a QCoreApplication (images decode without a display), one evaluation on
// its event loop, and the evaluation's status as the process's exit status.
int runEvaluationProgram(int argc, char** argv);

// One evaluation: parses the options, reads and decodes the cases file, runs the chosen task and returns the exit
// status. Never throws: every failure is printed on standard error as "Eval failed: " and its description, with
// status 2. The first form reads the process arguments.
QCoro::Task<int> runEvaluation();
QCoro::Task<int> runEvaluation(QStringList arguments);

} // namespace tavrine::eval

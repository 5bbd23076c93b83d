#include "tavrine/eval/EvalOptions.h"
#include "tavrine/eval/Evaluation.h"

#include <cstdio>

namespace {

// What this process is: chosen once, on the raw arguments, before any application object, user default or
// window exists, and never looked at again.
enum class LaunchMode { Application, Evaluation };

LaunchMode decideLaunch(int argc, const char* const* argv) {
    return tavrine::eval::isEvalLaunch(argc, argv) ? LaunchMode::Evaluation : LaunchMode::Application;
}

// The menu-bar application. It receives the launch decision already made and never parses the arguments for it
// again. The shell takes over here.
int runApplication(int argc, char** argv, LaunchMode mode) {
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    Q_UNUSED(mode);
    std::fputs("tavrine: the application shell is not built yet\n", stderr);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const LaunchMode mode = decideLaunch(argc, argv);
    if (mode == LaunchMode::Evaluation)
        return tavrine::eval::runEvaluationProgram(argc, argv);
    return runApplication(argc, argv, mode);
}

#include <QCoreApplication>
#include <cstdio>

// The entry point. The application shell and the evaluation harness join here as they land.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::fputs("tavrine: the application shell is not built yet\n", stderr);
    return 1;
}

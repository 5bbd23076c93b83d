// The main of the benchmarks that draw their test images with QPainter: a QGuiApplication on the offscreen
// platform, so they run without a display.
#include "BenchmarkMain.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return runBenchmarks<QGuiApplication>(argc, argv);
}

#include "tavrine/eval/EvalConsole.h"

#include <QByteArray>
#include <cstdio>

namespace tavrine::eval::console {

namespace {
void writeLine(std::FILE* stream, const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.append('\n');
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

void printLine(const QString& line) {
    writeLine(stdout, line);
}

void printError(const QString& message) {
    writeLine(stderr, message);
}

QString fixed(double value, int decimals) {
    // QString::number never reads the locale, unlike printf under the locale Qt sets for the process.
    return QString::number(value, 'f', decimals);
}

} // namespace tavrine::eval::console

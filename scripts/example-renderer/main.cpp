// Draws the eight sample window screenshots that the example cases of the evaluation harness use (see
// ExampleWindows.h), or copies of them scrolled or with one line rewritten.
// Usage: example-renderer [--scroll <lines>] [--edited] <output folder>
// (needs a QGuiApplication: run with QT_QPA_PLATFORM=offscreen)
#include "ExampleWindows.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTextStream>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments().mid(1);
    int lines = 0;
    bool edited = false;
    QString out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--scroll") && i + 1 < args.size())
            lines = args[++i].toInt(&ok);
        else if (args[i] == QLatin1String("--edited"))
            edited = true;
        else if (out.isEmpty() && !args[i].startsWith(QLatin1String("--")))
            out = args[i];
        else
            ok = false;
        if (!ok || lines < 0) {
            out.clear();
            break;
        }
    }
    if (out.isEmpty()) {
        err << "usage: example-renderer [--scroll <lines>] [--edited] <output folder>\n";
        return 2;
    }
    const QDir folder(out);
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        err << "example-renderer: cannot create " << folder.path() << "\n";
        return 1;
    }
    for (const examples::Window& window : examples::windows()) {
        QImageWriter writer(folder.filePath(window.file), "png");
        writer.setQuality(0); // smallest file: the strongest compression
        if (!writer.write(examples::draw(window, lines, edited))) {
            err << "example-renderer: " << writer.fileName() << ": " << writer.errorString() << "\n";
            return 1;
        }
    }
    return 0;
}

// The measurement behind the address read off a browser's tool bar (prints tables, not a benchmark).
//   address_survey grab DIR NAME ADDRESS   saves the tool-bar band of the active window (as a capture takes it)
//                                          as DIR/NAME.png and notes its window title and true address in
//                                          DIR/index.tsv
//   address_survey read DIR [NAME...]      reads every band noted there: each row's words in the address
//                                          alphabet with their characters' confidences, then what the capture
//                                          makes of the band: the exact address, none, or a wrong one
//   address_survey crop FILE X Y W H OUT   cuts a band to the rows a test needs
// Run the grab under the test desktop, the browser in front on a page served on 127.0.0.1.
#include "tavrine/capture/ScreenAddress.h"
#include "tavrine/ocr/PageReader.h"
#include "tavrine/platform/X11WindowGrabber.h"
#include "tavrine/platform/x11/X11Connection.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <QUrl>

#include <cmath>
#include <cstdio>

using namespace tavrine;

namespace {

int grab(const QString& dir, const QString& name, const QString& address) {
    platform::X11Connection* x11 = platform::X11Connection::shared();
    if (!x11) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const std::optional<platform::XWindowId> window = x11->activeWindow();
    if (!window) {
        std::fprintf(stderr, "no active window\n");
        return 1;
    }
    std::optional<platform::WindowImage> image = platform::X11WindowGrabber().grab(*window);
    if (!image || image->image.isNull()) {
        std::fprintf(stderr, "no image\n");
        return 1;
    }
    const int height = int(std::ceil(image->image.height() * capture::toolbarBand));
    QDir().mkpath(dir);
    const QString title = x11->windowTitle(*window);
    if (!image->image.copy(0, 0, image->image.width(), height).save(dir + QLatin1Char('/') + name + ".png"))
        return 1;
    QFile index(dir + QStringLiteral("/index.tsv"));
    if (!index.open(QIODevice::Append | QIODevice::Text))
        return 1;
    QTextStream(&index) << name << '\t' << title << '\t' << address << '\n';
    return 0;
}

QString confidences(const OcrWord& word) {
    QString text;
    for (qsizetype i = 0; i < word.characterConfidences.size(); ++i)
        text += QStringLiteral(" %1:%2")
                    .arg(i < word.text.size() ? word.text.at(i) : QChar('?'))
                    .arg(int(word.characterConfidences.at(i)));
    return text;
}

int read(const QString& dir, const QStringList& only) {
    QFile index(dir + QStringLiteral("/index.tsv"));
    if (!index.open(QIODevice::ReadOnly | QIODevice::Text))
        return 1;
    PageReader reader;
    const std::atomic<bool> cancelled{false};
    int exact = 0, none = 0, wrong = 0;
    while (!index.atEnd()) {
        const QStringList fields = QString::fromUtf8(index.readLine()).chopped(1).split(QLatin1Char('\t'));
        if (fields.size() < 3 || (!only.isEmpty() && !only.contains(fields.at(0))))
            continue;
        const QImage band(dir + QLatin1Char('/') + fields.at(0) + ".png");
        std::printf("== %s  \"%s\"  %s\n", qPrintable(fields.at(0)), qPrintable(fields.at(1)),
                    qPrintable(fields.at(2)));
        const bool rowsWanted = !qEnvironmentVariableIsEmpty("SURVEY_ROWS");
        const QImage page = PageReader::preparePage(band);
        for (const QList<QRect>& row : capture::rowsOfBoxes(reader.lineBoxes(page))) {
            for (const QRect& box : row) {
                if (!rowsWanted)
                    break;
                const std::optional<PageReader::Line> line = reader.readLine(page, box, cancelled);
                std::printf("  row %d,%d %dx%d  \"%s\" (%d)%s\n", box.left(), box.top(), box.width(), box.height(),
                            qPrintable(line ? line->text.simplified() : QString()), line ? line->confidence : -1,
                            line && capture::showsTitle(line->text, fields.at(1)) ? " [title]" : "");
                for (const OcrWord& word : capture::readBarWords(reader, page, box, cancelled)) {
                    std::printf("     %-40s @%d,%d h%d %s\n", qPrintable(word.text), word.box.left(), word.box.top(),
                                word.box.height(), qPrintable(confidences(word)));
                }
            }
        }
        const capture::BarReading reading = capture::readBarAddress(reader, band, fields.at(1), cancelled);
        const std::optional<QString> read = reading.address;
        // A bar that leaves out the scheme shows the address without it; one that shows what the address holds
        // beyond its letters and digits shows it escaped.
        const QString escaped = QString::fromUtf8(QUrl(fields.at(2)).toEncoded());
        const auto same = [&](const QString& address) {
            return address == fields.at(2) || address == escaped ||
                   QStringLiteral("http://") + address == fields.at(2) ||
                   QStringLiteral("http://") + address == escaped;
        };
        const bool right = read && same(*read);
        const char* verdict = !read ? "none" : right ? "exact" : "WRONG";
        (!read ? none : right ? exact : wrong)++;
        if (!read && reading.found)
            std::printf("  .. %s: %s%s\n", qPrintable(reading.word), qPrintable(reading.doubt),
                        same(reading.word.mid(reading.word.indexOf(QStringLiteral("127.0")))) ? " (was right)" : "");
        std::printf("  => %s %s (%d looks)\n", verdict, qPrintable(read.value_or(QString())), reading.looks);
    }
    std::printf("exact %d, none %d, wrong %d\n", exact, none, wrong);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args.at(1) == QLatin1String("grab"))
        return grab(args.at(2), args.at(3), args.at(4));
    if (args.size() >= 8 && args.at(1) == QLatin1String("crop")) {
        // crop FILE X Y W H OUT: a part of a band, for the tests' table of real bars.
        return QImage(args.at(2))
                       .copy(args.at(3).toInt(), args.at(4).toInt(), args.at(5).toInt(), args.at(6).toInt())
                       .convertToFormat(QImage::Format_RGB888)
                       .save(args.at(7))
                   ? 0
                   : 1;
    }
    if (args.size() >= 3 && args.at(1) == QLatin1String("read"))
        return read(args.at(2), args.mid(3));
    std::fprintf(stderr, "usage: address_survey grab DIR NAME ADDRESS | read DIR [NAME...] | crop FILE X Y W H OUT\n");
    return 2;
}

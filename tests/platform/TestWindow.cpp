// A window for the X11 tests, started as a separate process.
//   tavrine-test-window --title <title> [--plain|--panel] <line>...
// Without --plain: a Qt widget window (an accessibility tree when the desktop or QT_LINUX_ACCESSIBILITY_ALWAYS_ON
// asks for one) showing the lines in a large font, three tabs ("Overview", "Crane schedule", "Budget notes"), a
// "Send invoice" button and a focused line edit. It prints "tab <name>" when the current tab changes and
// "button <name>" when a button is pressed.
// With --plain: a bare Xlib window without any accessibility, showing the lines (drawn off screen by Qt).
// With --panel: a frameless window that stays on top and never takes the focus (as Tavrine's nudge card), at the
// screen's right, showing the lines.
// Both print "ready" once their window is on the screen and painted.
#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

QImage renderText(const QSize& size, const QStringList& lines) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 245));
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    painter.setFont(font);
    painter.setPen(Qt::black);
    int y = 140;
    for (const QString& line : lines) {
        painter.drawText(40, y, line);
        y += 80;
    }
    return image;
}

int runPlain(int argc, char** argv, const QString& title, const QStringList& lines) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage image = renderText(QSize(900, 600), lines);

    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 100, 100, unsigned(image.width()),
                                              unsigned(image.height()), 0, 0, 0xfafaf5);
    const QByteArray utf8 = title.toUtf8();
    XStoreName(display, window, utf8.constData());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.constData()), int(utf8.size()));
    XClassHint hint{const_cast<char*>("tavrine-plain-window"), const_cast<char*>("TavrinePlainWindow")};
    XSetClassHint(display, window, &hint);
    const long pid = long(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    XSelectInput(display, window, ExposureMask | StructureNotifyMask);
    XMapWindow(display, window);

    XImage* ximage = XCreateImage(display, DefaultVisual(display, screen), unsigned(DefaultDepth(display, screen)),
                                  ZPixmap, 0, nullptr, unsigned(image.width()), unsigned(image.height()), 32, 0);
    ximage->data = static_cast<char*>(malloc(size_t(ximage->bytes_per_line) * size_t(image.height())));
    for (int y = 0; y < image.height(); ++y)
        memcpy(ximage->data + y * ximage->bytes_per_line, image.constScanLine(y), size_t(image.width()) * 4);
    const GC gc = DefaultGC(display, screen);
    bool announced = false;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == Expose || event.type == MapNotify) {
            XPutImage(display, window, gc, ximage, 0, 0, 0, 0, unsigned(image.width()), unsigned(image.height()));
            // Done by the server before "ready" goes out: a screenshot taken after it shows the picture.
            XSync(display, False);
            if (!announced && event.type == Expose) {
                announced = true;
                std::printf("ready\n");
                std::fflush(stdout);
            }
        }
    }
}

int runQt(int argc, char** argv, const QString& title, const QStringList& lines, bool panel) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(title);
    window.resize(900, 700);
    if (panel) {
        window.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                              Qt::WindowDoesNotAcceptFocus);
        window.setAttribute(Qt::WA_ShowWithoutActivating);
        window.setGeometry(QApplication::primaryScreen()->geometry().right() - 940, 300, 900, 500);
    }
    auto* layout = new QVBoxLayout(&window);
    // Below the top tenth of the window, where the capture's recognition reads.
    layout->addSpacing(90);
    auto* text = new QLabel(lines.join(QLatin1Char('\n')));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    text->setFont(font);
    layout->addWidget(text);
    auto* tabs = new QTabWidget;
    for (const char* name : {"Overview", "Crane schedule", "Budget notes"})
        tabs->addTab(new QLabel(QString::fromLatin1(name)), QString::fromLatin1(name));
    QObject::connect(tabs, &QTabWidget::currentChanged, [tabs](int index) {
        std::printf("tab %s\n", tabs->tabText(index).toUtf8().constData());
        std::fflush(stdout);
    });
    layout->addWidget(tabs);
    auto* send = new QPushButton(QStringLiteral("Send invoice"));
    QObject::connect(send, &QPushButton::clicked, [] {
        std::printf("button Send invoice\n");
        std::fflush(stdout);
    });
    layout->addWidget(send);
    auto* edit = new QLineEdit(QStringLiteral("draft harbour memo"));
    layout->addWidget(edit);
    window.show();
    edit->setFocus();
    // Ready once the window is on the screen with its contents painted and sent to the server (a test may grab it
    // and read its text right away).
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window.windowHandle() || !window.windowHandle()->isExposed())
            return;
        poll.stop();
        window.repaint();
        QGuiApplication::sync();
        std::printf("ready\n");
        std::fflush(stdout);
    });
    poll.start(20);
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    QString title = QStringLiteral("Tavrine test window");
    QStringList lines;
    bool plain = false;
    bool panel = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--plain"))
            plain = true;
        else if (argument == QLatin1String("--panel"))
            panel = true;
        else if (argument == QLatin1String("--title") && i + 1 < argc)
            title = QString::fromLocal8Bit(argv[++i]);
        else
            lines.append(argument);
    }
    return plain ? runPlain(argc, argv, title, lines) : runQt(argc, argv, title, lines, panel);
}

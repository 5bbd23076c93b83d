// What the screen showed, frame by frame: grabs the root window (or an area of it) every --interval ms through
// MIT-SHM while a command runs, keeps each grab that differs from the one before, and notes when top-level
// windows map, unmap and move, and when a mouse button goes down and up (at the X server's own time, so that a click
// from xdotool is placed exactly). Times are ms since the command was started.
//
//   frame_recorder --out DIR [--interval 30] [--scale 1] [--area x,y,w,h] [--duration ms] [--tail ms] -- command...
//       writes DIR/NNNNNN.png (ms since launch) and DIR/events.txt; ends when the command has ended (plus --tail)
//       or after --duration.
//   frame_recorder --measure [--interval 5] [--area x,y,w,h] [--duration 3000] -- command...
//       keeps the grabs in memory (of the area, or of the first window of 100 x 100 or more that maps) and prints,
//       for what the command drew there, when the X server first
//       mapped a window there ("map"), when the first pixels there changed ("pixels"), when the area first showed
//       its content ("content", 80 % of the changed pixels as at the end: drawn, though a focus ring may still be
//       fading in) and when it settled ("settled", 99.5 %; a blinking caret does not count). The command is ended
//       when the time is up. Instead of a command, a trigger of its own: --click x,y (button 1 through XTest),
//       --key combo (such as "Return" or "alt+super+p", pressed and released through XTest) or --line FILE TEXT (the
//       first line written to FILE from then on that holds TEXT, whose first word is a time in seconds on the
//       monotonic clock, as Qt's %{time boot} prints it; waited for at most --wait ms): the times are then ms
//       since the trigger, and --duration counts from it. It also prints "empty", the longest time the area
//       showed a change but not yet the final drawing's own pixels (those unlike the most common colour among the
//       changed ones): a slot laid out and still empty, such as a tray icon's before its first drawing.
//   frame_recorder --changes [--crop x,y,w,h] FRAME.png...
//       prints, for each frame after the first, the share of its pixels (within the crop) that differ from the frame
//       before: where the screen changed much (a window coming or going) as against little (a caret, a counter).
//   frame_recorder --sheet OUT.png [--crop x,y,w,h] [--columns 4] FRAME.png...
//       puts the frames (cropped) side by side in rows, each under its file name, to look at them together.
//
// Usage beside the tests' private desktop: source its env file, then run this with DISPLAY set.
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QStringList>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
std::atomic<bool> stopRequested{false};

struct Options {
    QString out;
    bool measure = false;
    int intervalMs = 30;
    int scale = 1;
    std::optional<QRect> area;
    int durationMs = 0;
    int tailMs = 1000;
    std::vector<char*> command;
    // --measure's own triggers, in place of a command.
    std::optional<QPoint> click;
    QString key;
    QString lineFile;
    QString lineText;
    int waitMs = 60000;
    bool triggered() const { return click || !key.isEmpty() || !lineFile.isEmpty(); }
};

QRect rectFrom(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    return parts.size() == 4 ? QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt()) : QRect();
}

std::optional<Options> parse(int argc, char** argv) {
    Options o;
    int i = 1;
    for (; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const auto next = [&]() -> QString { return i + 1 < argc ? QString::fromLocal8Bit(argv[++i]) : QString(); };
        if (arg == QLatin1String("--")) {
            ++i;
            break;
        }
        if (arg == QLatin1String("--out"))
            o.out = next();
        else if (arg == QLatin1String("--measure"))
            o.measure = true;
        else if (arg == QLatin1String("--interval"))
            o.intervalMs = std::max(1, next().toInt());
        else if (arg == QLatin1String("--scale"))
            o.scale = std::max(1, next().toInt());
        else if (arg == QLatin1String("--duration"))
            o.durationMs = next().toInt();
        else if (arg == QLatin1String("--tail"))
            o.tailMs = next().toInt();
        else if (arg == QLatin1String("--area")) {
            o.area = rectFrom(next());
            if (o.area->isEmpty())
                return std::nullopt;
        } else if (arg == QLatin1String("--click")) {
            const QStringList xy = next().split(QLatin1Char(','));
            if (xy.size() != 2)
                return std::nullopt;
            o.click = QPoint(xy[0].toInt(), xy[1].toInt());
        } else if (arg == QLatin1String("--key"))
            o.key = next();
        else if (arg == QLatin1String("--line")) {
            o.lineFile = next();
            o.lineText = next();
        } else if (arg == QLatin1String("--wait"))
            o.waitMs = next().toInt();
        else
            return std::nullopt;
    }
    for (; i < argc; ++i)
        o.command.push_back(argv[i]);
    o.command.push_back(nullptr);
    if (o.triggered() && (!o.measure || o.command.size() > 1))
        return std::nullopt;
    if ((o.command.size() < 2 && !o.triggered()) || (o.out.isEmpty() && !o.measure))
        return std::nullopt;
    if (o.measure && o.durationMs <= 0)
        o.durationMs = 3000;
    return o;
}

struct Frame {
    int ms;
    QImage image;
};

// Encodes grabs into PNG files on threads of their own, so that grabbing keeps its pace.
class Writer {
public:
    Writer(QString folder, int threads) : m_folder(std::move(folder)) {
        for (int i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { run(); });
    }
    ~Writer() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_threads)
            t.join();
    }
    void add(Frame frame) {
        std::unique_lock lock(m_mutex);
        m_space.wait(lock, [this] { return m_queue.size() < 48; });
        m_queue.push_back(std::move(frame));
        m_wake.notify_one();
    }

private:
    void run() {
        for (;;) {
            Frame frame;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_done || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                frame = std::move(m_queue.front());
                m_queue.pop_front();
            }
            m_space.notify_one();
            frame.image.save(QStringLiteral("%1/%2.png").arg(m_folder).arg(frame.ms, 6, 10, QLatin1Char('0')), "PNG",
                             90);
        }
    }

    QString m_folder;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_space;
    std::deque<Frame> m_queue;
    bool m_done = false;
    std::vector<std::thread> m_threads;
};

struct MapEvent {
    int ms;
    QRect rect;
};

// The longest time, from `frames` (changed grabs, the last one lasting until `endMs`), that the area showed a
// change from the first grab without the final grab's own pixels among `changed`: those unlike the most common
// final colour there (a host's background around an icon). A slot laid out and not yet drawn.
int longestEmpty(const std::vector<Frame>& frames, const std::vector<int>& changed, int endMs) {
    const QImage& first = frames.front().image;
    const QImage& last = frames.back().image;
    const auto pixel = [](const QImage& image, int index) {
        return reinterpret_cast<const quint32*>(image.constBits())[index] & 0xFFFFFF;
    };
    QHash<quint32, int> counts;
    for (int index : changed)
        ++counts[pixel(last, index)];
    quint32 background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    std::vector<int> own;
    for (int index : changed)
        if (pixel(last, index) != background)
            own.push_back(index);
    int longest = 0;
    std::optional<int> emptySince;
    for (size_t i = 0; i < frames.size(); ++i) {
        int moved = 0, arrived = 0;
        for (int index : changed)
            moved += pixel(frames[i].image, index) != pixel(first, index) ? 1 : 0;
        for (int index : own)
            arrived += pixel(frames[i].image, index) == pixel(last, index) ? 1 : 0;
        const bool empty = moved > int(changed.size() / 200) && arrived < int(own.size() / 2);
        if (empty && !emptySince)
            emptySince = frames[i].ms;
        if (!empty && emptySince) {
            longest = std::max(longest, frames[i].ms - *emptySince);
            emptySince.reset();
        }
    }
    if (emptySince)
        longest = std::max(longest, endMs - *emptySince);
    return longest;
}

// The grabs of --measure: when the area first changed and first showed its final content, in ms since `zeroMs`.
void report(const std::vector<Frame>& frames, const std::vector<MapEvent>& maps, const QRect& area, int zeroMs,
            int endMs) {
    if (frames.size() < 2) {
        std::puts("map=- pixels=- content=- (nothing changed)");
        return;
    }
    const QImage& first = frames.front().image;
    const QImage& last = frames.back().image;
    std::vector<int> changed;
    for (int y = 0; y < first.height(); ++y) {
        const auto* a = reinterpret_cast<const quint32*>(first.constScanLine(y));
        const auto* b = reinterpret_cast<const quint32*>(last.constScanLine(y));
        for (int x = 0; x < first.width(); ++x)
            if ((a[x] ^ b[x]) & 0xFFFFFF)
                changed.push_back(y * first.width() + x);
    }
    const auto pixel = [](const QImage& image, int index) {
        return reinterpret_cast<const quint32*>(image.constBits())[index] & 0xFFFFFF;
    };
    std::optional<int> pixels, content, settled;
    for (const Frame& frame : frames) {
        int moved = 0, arrived = 0;
        for (int index : changed) {
            const quint32 p = pixel(frame.image, index);
            moved += p != pixel(first, index) ? 1 : 0;
            arrived += p == pixel(last, index) ? 1 : 0;
        }
        if (!pixels && moved > int(changed.size() / 200))
            pixels = frame.ms;
        if (!content && arrived >= int(changed.size() * 8 / 10))
            content = frame.ms;
        if (!settled && arrived >= int(changed.size() * 995 / 1000))
            settled = frame.ms;
    }
    std::optional<int> mapped;
    for (const MapEvent& map : maps)
        if (!mapped && map.ms >= zeroMs && map.rect.intersects(area) && map.rect.width() > 40 &&
            map.rect.height() > 40)
            mapped = map.ms;
    const auto text = [zeroMs](std::optional<int> ms) {
        return ms ? QByteArray::number(*ms - zeroMs) : QByteArray("-");
    };
    std::printf("map=%s pixels=%s content=%s settled=%s changed=%zu empty=%d\n", text(mapped).constData(),
                text(pixels).constData(), text(content).constData(), text(settled).constData(), changed.size(),
                changed.empty() ? 0 : longestEmpty(frames, changed, endMs));
}

int sheet(int argc, char** argv) {
    // The labels need fonts.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QRect crop;
    int columns = 4;
    QStringList files;
    for (int i = 3; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--crop") && i + 1 < argc)
            crop = rectFrom(QString::fromLocal8Bit(argv[++i]));
        else if (arg == QLatin1String("--columns") && i + 1 < argc)
            columns = std::max(1, QString::fromLocal8Bit(argv[++i]).toInt());
        else
            files << arg;
    }
    if (files.isEmpty())
        return 2;
    const QImage probe(files.first());
    const QSize cell = crop.isValid() ? crop.size() : probe.size();
    constexpr int label = 18;
    const int rows = int((files.size() + columns - 1) / columns);
    QImage canvas(std::min<int>(columns, files.size()) * (cell.width() + 4), rows * (cell.height() + label + 4),
                  QImage::Format_RGB32);
    canvas.fill(Qt::darkGray);
    QPainter painter(&canvas);
    for (int i = 0; i < files.size(); ++i) {
        const QImage frame(files[i]);
        const QPoint at((i % columns) * (cell.width() + 4), (i / columns) * (cell.height() + label + 4));
        painter.setPen(Qt::white);
        painter.drawText(QRect(at, QSize(cell.width(), label)), Qt::AlignLeft | Qt::AlignVCenter,
                         QFileInfo(files[i]).fileName());
        painter.drawImage(at + QPoint(0, label), crop.isValid() ? frame.copy(crop) : frame);
    }
    painter.end();
    return canvas.save(out) ? 0 : 1;
}

} // namespace

int changes(int argc, char** argv) {
    QImage before;
    QRect crop;
    for (int i = 2; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--crop" && i + 1 < argc) {
            crop = rectFrom(QString::fromLocal8Bit(argv[++i]));
            continue;
        }
        QImage frame = QImage(QString::fromLocal8Bit(argv[i])).convertToFormat(QImage::Format_RGB32);
        if (crop.isValid())
            frame = frame.copy(crop);
        if (!before.isNull() && before.size() == frame.size()) {
            qint64 differing = 0;
            for (int y = 0; y < frame.height(); ++y) {
                const auto* a = reinterpret_cast<const quint32*>(before.constScanLine(y));
                const auto* b = reinterpret_cast<const quint32*>(frame.constScanLine(y));
                for (int x = 0; x < frame.width(); ++x)
                    differing += a[x] != b[x] ? 1 : 0;
            }
            std::printf("%s %.2f%%\n", argv[i], 100.0 * double(differing) / (double(frame.width()) * frame.height()));
        }
        before = frame;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc > 2 && QByteArray(argv[1]) == "--sheet")
        return sheet(argc, argv);
    if (argc > 2 && QByteArray(argv[1]) == "--changes")
        return changes(argc, argv);
    const std::optional<Options> parsed = parse(argc, argv);
    if (!parsed) {
        std::fputs("usage: frame_recorder (--out DIR | --measure) [--area x,y,w,h] [--interval ms] [--scale n] "
                   "[--duration ms] [--tail ms] -- command...\n"
                   "       frame_recorder --measure [--area x,y,w,h] [--interval ms] [--duration ms] "
                   "(--click x,y | --key combo | --line FILE TEXT [--wait ms])\n",
                   stderr);
        return 2;
    }
    const Options& o = *parsed;
    Display* display = XOpenDisplay(nullptr);
    if (!display || !XShmQueryExtension(display)) {
        std::fputs("frame_recorder: no X display with MIT-SHM\n", stderr);
        return 1;
    }
    // A window may be gone by the time its map is read (a short-lived one): that error is no reason to stop.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const Window root = DefaultRootWindow(display);
    const int screen = DefaultScreen(display);
    const QRect screenRect(0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen));
    // --measure without an area waits for the command's window and grabs where it maps.
    const bool followWindow = o.measure && !o.area;
    QRect area = o.area.value_or(screenRect);
    XShmSegmentInfo shm{};
    XImage* grab = XShmCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen), ZPixmap,
                                   nullptr, &shm, screenRect.width(), screenRect.height());
    shm.shmid = shmget(IPC_PRIVATE, size_t(grab->bytes_per_line) * grab->height, IPC_CREAT | 0600);
    shm.shmaddr = grab->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
    shm.readOnly = False;
    XShmAttach(display, &shm);
    XSync(display, False);
    shmctl(shm.shmid, IPC_RMID, nullptr);
    // An image of the area's size over the same memory.
    const auto grabArea = [&](const QRect& to) {
        area = to;
        grab->data = nullptr;
        XDestroyImage(grab);
        grab = XShmCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen), ZPixmap, nullptr,
                               &shm, area.width(), area.height());
        grab->data = shm.shmaddr;
    };
    grabArea(area);
    XSelectInput(display, root, SubstructureNotifyMask);
    // Raw button events: any client may have them, and they carry the server's time of the press.
    int xiOpcode = 0, xiEvent = 0, xiError = 0;
    bool buttons = XQueryExtension(display, "XInputExtension", &xiOpcode, &xiEvent, &xiError);
    if (buttons) {
        int major = 2, minor = 0;
        buttons = XIQueryVersion(display, &major, &minor) == Success;
    }
    if (buttons) {
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawButtonPress);
        XISetMask(bits, XI_RawButtonRelease);
        XIEventMask mask{XIAllMasterDevices, int(sizeof(bits)), bits};
        XISelectEvents(display, root, &mask, 1);
    }

    std::signal(SIGINT, [](int) { stopRequested = true; });
    std::signal(SIGTERM, [](int) { stopRequested = true; });
    std::optional<Writer> writer;
    FILE* events = nullptr;
    if (!o.out.isEmpty()) {
        writer.emplace(o.out, 3);
        events = std::fopen(QStringLiteral("%1/events.txt").arg(o.out).toLocal8Bit().constData(), "w");
    }

    std::vector<Frame> kept;
    std::vector<MapEvent> maps;
    QByteArray previous;
    const auto since = [](Clock::time_point start) {
        return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    };
    std::optional<QImage> before;
    bool waiting = followWindow;
    const auto capture = [&](int ms) {
        if (waiting)
            return;
        XShmGetImage(display, root, grab, area.x(), area.y(), AllPlanes);
        const QByteArray now = QByteArray::fromRawData(grab->data, grab->bytes_per_line * grab->height);
        if (now == previous)
            return;
        previous = QByteArray(now.constData(), now.size());
        QImage image = QImage(reinterpret_cast<const uchar*>(previous.constData()), area.width(), area.height(),
                              grab->bytes_per_line, QImage::Format_RGB32)
                           .copy();
        if (o.scale > 1)
            image = image.scaled(image.size() / o.scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (writer)
            writer->add({ms, std::move(image)});
        else
            kept.push_back({ms, std::move(image)});
    };

    // The desktop before the command draws anything.
    if (followWindow) {
        XShmGetImage(display, root, grab, 0, 0, AllPlanes);
        before = QImage(reinterpret_cast<const uchar*>(grab->data), area.width(), area.height(), grab->bytes_per_line,
                        QImage::Format_RGB32)
                     .copy();
    }
    if (o.click) {
        // The pointer is there before the first grab: only the press is the trigger.
        XTestFakeMotionEvent(display, screen, o.click->x(), o.click->y(), 0);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    capture(0);
    pid_t child = 0;
    const Clock::time_point start = Clock::now();
    // Ms since the start that the measured times count from.
    std::optional<int> zeroMs;
    if (!o.triggered()) {
        zeroMs = 0;
        if (posix_spawnp(&child, o.command[0], nullptr, nullptr, o.command.data(), environ) != 0) {
            std::fprintf(stderr, "frame_recorder: cannot start %s\n", o.command[0]);
            return 1;
        }
    } else if (o.click) {
        XTestFakeButtonEvent(display, 1, True, 0);
        XTestFakeButtonEvent(display, 1, False, 0);
        XFlush(display);
        zeroMs = since(start);
    } else if (!o.key.isEmpty()) {
        std::vector<KeyCode> codes;
        for (const QString& name : o.key.split(QLatin1Char('+'))) {
            static const QHash<QString, QString> modifiers = {{QStringLiteral("alt"), QStringLiteral("Alt_L")},
                                                              {QStringLiteral("super"), QStringLiteral("Super_L")},
                                                              {QStringLiteral("ctrl"), QStringLiteral("Control_L")},
                                                              {QStringLiteral("shift"), QStringLiteral("Shift_L")}};
            const KeySym sym = XStringToKeysym(modifiers.value(name.toLower(), name).toLatin1().constData());
            const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
            if (!code) {
                std::fprintf(stderr, "frame_recorder: no key %s\n", qPrintable(name));
                return 2;
            }
            codes.push_back(code);
        }
        for (KeyCode code : codes)
            XTestFakeKeyEvent(display, code, True, 0);
        for (auto it = codes.rbegin(); it != codes.rend(); ++it)
            XTestFakeKeyEvent(display, *it, False, 0);
        XFlush(display);
        zeroMs = since(start);
    }
    // --line: only lines written from now on count; the rest of a line still being written waits.
    QFile lineSource(o.lineFile);
    if (!o.lineFile.isEmpty() && lineSource.open(QIODevice::ReadOnly))
        lineSource.seek(lineSource.size());
    QByteArray pendingLine;
    const auto readTrigger = [&](long long startMonotonicMs) -> std::optional<int> {
        if (!lineSource.isOpen() && !lineSource.open(QIODevice::ReadOnly))
            return std::nullopt;
        pendingLine += lineSource.readAll();
        for (qsizetype end; (end = pendingLine.indexOf('\n')) >= 0; pendingLine.remove(0, end + 1)) {
            const QByteArray line = pendingLine.left(end);
            if (!line.contains(o.lineText.toUtf8()))
                continue;
            bool ok = false;
            const double seconds = line.trimmed().split(' ').value(0).toDouble(&ok);
            if (ok)
                return int(std::llround(seconds * 1000.0) - startMonotonicMs);
        }
        return std::nullopt;
    };
    // The monotonic clock's reading at the start, so that times another program prints (frame_scenes' steps)
    // can be put on this timeline, and the X server's button times too.
    const long long startMs = std::chrono::duration_cast<std::chrono::milliseconds>(start.time_since_epoch()).count();
    if (events)
        std::fprintf(events, "# start %lld\n", startMs);
    std::optional<Clock::time_point> childEnded;
    Clock::time_point next = start;
    while (!stopRequested) {
        const int ms = since(start);
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            const char* kind = nullptr;
            QRect rect;
            Window window = 0;
            if (event.type == MapNotify) {
                kind = "map";
                window = event.xmap.window;
                XWindowAttributes attributes{};
                if (XGetWindowAttributes(display, window, &attributes))
                    rect = QRect(attributes.x, attributes.y, attributes.width, attributes.height);
                maps.push_back({ms, rect});
                if (waiting && rect.width() >= 100 && rect.height() >= 100) {
                    waiting = false;
                    const QRect mapped = rect.intersected(screenRect);
                    kept.push_back({ms, before->copy(mapped)});
                    previous = QByteArray(reinterpret_cast<const char*>(kept.back().image.constBits()),
                                          kept.back().image.sizeInBytes());
                    grabArea(mapped);
                }
            } else if (event.type == UnmapNotify) {
                kind = "unmap";
                window = event.xunmap.window;
            } else if (event.type == GenericEvent && event.xcookie.extension == xiOpcode &&
                       XGetEventData(display, &event.xcookie)) {
                const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
                // Xvfb's and Xorg's time is the monotonic clock's milliseconds, cut to 32 bits.
                const int at = int(qint32(quint32(raw->time) - quint32(startMs)));
                if (events)
                    std::fprintf(events, "%6d %s button %d\n", at,
                                 raw->evtype == XI_RawButtonPress ? "press" : "release", raw->detail);
                XFreeEventData(display, &event.xcookie);
            } else if (event.type == ConfigureNotify) {
                kind = "configure";
                window = event.xconfigure.window;
                rect = QRect(event.xconfigure.x, event.xconfigure.y, event.xconfigure.width, event.xconfigure.height);
            }
            if (kind && events)
                std::fprintf(events, "%6d %s 0x%lx %d,%d %dx%d\n", ms, kind, window, rect.x(), rect.y(), rect.width(),
                             rect.height());
        }
        capture(ms);
        if (!zeroMs) {
            zeroMs = readTrigger(startMs);
            if (!zeroMs && ms >= o.waitMs) {
                std::fprintf(stderr, "frame_recorder: no line \"%s\" in %s within %d ms\n", qPrintable(o.lineText),
                             qPrintable(o.lineFile), o.waitMs);
                break;
            }
        }
        if (child && !childEnded && waitpid(child, nullptr, WNOHANG) == child)
            childEnded = Clock::now();
        if (o.durationMs > 0 && zeroMs && ms >= *zeroMs + o.durationMs)
            break;
        if (childEnded && since(*childEnded) >= o.tailMs)
            break;
        next += std::chrono::milliseconds(o.intervalMs);
        std::this_thread::sleep_until(next);
    }
    if (child && !childEnded) {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
    }
    if (events)
        std::fclose(events);
    writer.reset();
    if (o.measure && !zeroMs)
        return 1;
    if (o.measure)
        report(kept, maps, area, *zeroMs, since(start));
    XShmDetach(display, &shm);
    shmdt(shm.shmaddr);
    grab->data = nullptr; // the segment's, not the heap's
    XDestroyImage(grab);
    XCloseDisplay(display);
    return 0;
}

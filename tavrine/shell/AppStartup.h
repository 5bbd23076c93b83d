#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavrine::shell {

// What the application sets up process-wide around making its QApplication, shared by the program and the
// benchmarks that start it the same way.

// Before the QApplication: the names xcb gives the windows' WM_CLASS (capture knows us by it), the style, and
// the GL context the rehearsal's web player shares.
void prepareApplication();
// Right after it: the application lives on with no window open, and the desktop shortcuts are in place before
// the main-window opener registers its hot key.
void setUpApplication();

// Where Qt will draw, read from the command line and the environment as Qt reads them, before Qt is started.
struct QtPlatformChoice {
    // The platforms Qt tries, in order, in lower case without their ":" options: "-platform" (or "--platform"; the
    // last one given), else QT_QPA_PLATFORM, split at ";".
    QStringList platforms;
    // The X display xcb opens: "-display" (or "--display"; the last one given), else $DISPLAY.
    QByteArray xcbDisplay;
    bool displayArgument = false;

    // Qt has nothing but xcb to try: without that display it ends the process.
    bool onlyXcb() const;
    // The refusal when that display cannot be opened, naming where its name came from.
    QString noDisplayRefusal() const;
    static QtPlatformChoice of(const QStringList& arguments, const QByteArray& platformVariable,
                               const QByteArray& displayVariable);
};

// While it lives (around making the QApplication): when Qt cannot start its platform, as when the X server refuses
// or drops Qt's connection after the launch found it there, Qt ends the process with a fatal message and a core
// dump, after warnings of its own. The watch says it in one line instead, naming X display `display`, and ends the
// process with status 1. Qt's messages are held meanwhile and passed on once it lives no more. One at a time.
class QtStartWatch {
public:
    explicit QtStartWatch(const QByteArray& display);
    ~QtStartWatch();
    QtStartWatch(const QtStartWatch&) = delete;
    QtStartWatch& operator=(const QtStartWatch&) = delete;
};

// Why Qt Quick cannot draw on X display `name` whose default screen shows `visualClass` (an X visual class) at
// `depth` bits; none when it can.
std::optional<QString> screenRefusal(const QByteArray& name, int visualClass, int depth);

} // namespace tavrine::shell

#include "tavrine/shell/AppStartup.h"

#include "tavrine/core/UserDefaults.h"
#include "tavrine/shell/DesktopShortcuts.h"
#include "tavrine/ui/FirstFrameBackground.h"

#include <QApplication>
#include <QIcon>
#include <QList>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace tavrine::shell {

void prepareApplication() {
    QApplication::setApplicationName(QStringLiteral("com.dravolence.tavrine"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavrine"));
    // The installed desktop entry's id: start-up notification and task bars match windows to it.
    QApplication::setDesktopFileName(QStringLiteral("com.dravolence.tavrine"));
    QApplication::setStyle(QStringLiteral("Fusion"));
}

void setUpApplication() {
    QApplication::setQuitOnLastWindowClosed(false);
    // The icon installed in the hicolor theme; a build run from its folder has none and shows the default.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.dravolence.tavrine")));
    installDesktopShortcuts(UserDefaults::standard());
    ui::FirstFrameBackground::install(*qApp);
}

namespace {

// The value after the last `option` ("-option" or "--option" followed by a word), as Qt takes it; none without one.
std::optional<QString> lastOption(const QStringList& arguments, QLatin1String option) {
    std::optional<QString> value;
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        QStringView word = arguments.at(i);
        if (word.startsWith(QLatin1String("--")))
            word = word.mid(1);
        if (word.startsWith(u'-') && word.mid(1) == option)
            value = arguments.at(++i);
    }
    return value;
}

} // namespace

QtPlatformChoice QtPlatformChoice::of(const QStringList& arguments, const QByteArray& platformVariable,
                                      const QByteArray& displayVariable) {
    QtPlatformChoice choice;
    const QString list =
        lastOption(arguments, QLatin1String("platform")).value_or(QString::fromLocal8Bit(platformVariable));
    for (const QString& entry : list.split(u';', Qt::SkipEmptyParts))
        choice.platforms << entry.section(u':', 0, 0).toLower();
    const std::optional<QString> display = lastOption(arguments, QLatin1String("display"));
    choice.xcbDisplay = display ? display->toLocal8Bit() : displayVariable;
    choice.displayArgument = display.has_value();
    return choice;
}

bool QtPlatformChoice::onlyXcb() const {
    return !platforms.isEmpty() &&
           std::all_of(platforms.begin(), platforms.end(), [](const QString& name) { return name == u"xcb"; });
}

std::optional<QString> screenRefusal(const QByteArray& name, int visualClass, int depth) {
    // X's visual classes, by number.
    static const char* const classNames[] = {"StaticGray",  "GrayScale", "StaticColor",
                                             "PseudoColor", "TrueColor", "DirectColor"};
    constexpr int trueColor = 4;
    constexpr int directColor = 5;
    // Qt Quick's OpenGL needs a screen of direct colours; an 8-bit PseudoColor screen ends it with an abort in
    // the driver.
    if ((visualClass == trueColor || visualClass == directColor) && depth >= 15)
        return std::nullopt;
    const char* className = visualClass >= 0 && visualClass < 6 ? classNames[visualClass] : "unknown";
    return QStringLiteral("the screen of X display %1 is %2-bit %3; Tavrine needs a TrueColor or DirectColor screen "
                          "of 15 bits or more")
        .arg(QString::fromLocal8Bit(name))
        .arg(depth)
        .arg(QLatin1String(className));
}

namespace {

// A message and its context, whose texts (Qt's own) live as long as the program.
struct HeldMessage {
    QtMsgType type;
    const char* file;
    int line;
    const char* function;
    const char* category;
    QString message;
};

struct StartWatch {
    QtMessageHandler previous = nullptr;
    QByteArray display;
    std::mutex mutex;
    QList<HeldMessage> held;
};
StartWatch* watching = nullptr;

void watchStart(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const std::lock_guard lock(watching->mutex);
    if (type != QtFatalMsg) {
        watching->held.append({type, context.file, context.line, context.function, context.category, message});
        return;
    }
    // Qt's own words advise reinstalling the application; what failed is the connection, as xcb said before.
    QString reason = message.section(u'\n', 0, 0);
    for (const HeldMessage& held : std::as_const(watching->held))
        if (qstrcmp(held.category, "qt.qpa.xcb") == 0)
            reason = held.message;
    const QString where = watching->display.isEmpty()
                              ? QString()
                              : QStringLiteral(" on X display ") + QString::fromLocal8Bit(watching->display);
    std::fputs(
        qPrintable(
            QStringLiteral("tavrine: Qt could not start%1 (%2); Tavrine needs an X11 desktop\n").arg(where, reason)),
        stderr);
    std::fflush(stderr);
    // Inside the QApplication's constructor: nothing made so far can be taken down in order.
    std::_Exit(1);
}

} // namespace

QtStartWatch::QtStartWatch(const QByteArray& display) {
    Q_ASSERT(!watching);
    watching = new StartWatch;
    watching->display = display;
    watching->previous = qInstallMessageHandler(watchStart);
}

QtStartWatch::~QtStartWatch() {
    qInstallMessageHandler(watching->previous);
    for (const HeldMessage& held : std::as_const(watching->held))
        watching->previous(held.type, QMessageLogContext(held.file, held.line, held.function, held.category),
                           held.message);
    delete watching;
    watching = nullptr;
}

QString QtPlatformChoice::noDisplayRefusal() const {
    return QStringLiteral("no X display (%1=\"%2\"); Tavrine needs an X11 desktop")
        .arg(displayArgument ? QStringLiteral("-display") : QStringLiteral("DISPLAY"),
             QString::fromLocal8Bit(xcbDisplay));
}

} // namespace tavrine::shell

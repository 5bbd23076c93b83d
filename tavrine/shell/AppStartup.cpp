#include "tavrine/shell/AppStartup.h"

#include "tavrine/core/UserDefaults.h"
#include "tavrine/shell/DesktopShortcuts.h"
#include "tavrine/ui/FirstFrameBackground.h"

#include <QApplication>
#include <QIcon>

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

QString QtPlatformChoice::noDisplayRefusal() const {
    return QStringLiteral("no X display (%1=\"%2\"); Tavrine needs an X11 desktop")
        .arg(displayArgument ? QStringLiteral("-display") : QStringLiteral("DISPLAY"),
             QString::fromLocal8Bit(xcbDisplay));
}

} // namespace tavrine::shell

#pragma once

#include <QByteArray>
#include <QObject>
#include <QtGui/qwindowdefs.h>
#include <memory>

class QJsonObject;
class QQmlEngine;
class QQuickWindow;
class QSocketNotifier;
class QWindow;

namespace tavrine {

class WebPlayerPage;

// The rehearsal's web video player in a process of its own, so that the web engine and every helper process it
// starts end with the rehearsal: the web engine keeps its helpers for the life of the process that loaded it.
// Commands arrive as JSON lines on the standard input ({"load": {"origin", "api"}}, {"run": script},
// {"detach": true}, {"place": {"window", "x", "y", "width", "height", "visible"}}); the page's messages leave as
// JSON lines ({"message": body}, {"crashed": true}) on the standard output the process was given, which nothing
// else writes to. The page's window is embedded in the window the parent names. The process ends when its input
// closes.
class PlayerProcess final : public QObject {
    Q_OBJECT
public:
    // The first argument that makes the program this process instead of the application.
    static constexpr const char* argument = "--rehearsal-player";
    static bool isPlayerLaunch(int argc, const char* const* argv);
    // The whole process: the web engine's setup, the application object, the commands until the input closes.
    static int run(int argc, char** argv);

    PlayerProcess(QQmlEngine& engine, int input, int output);
    ~PlayerProcess() override;

private:
    void handleCommand(const QByteArray& line);
    void leaveKeysToTheParent();
    void readInput();
    void send(const QJsonObject& event);
    void load(const QJsonObject& setting);
    void place(const QJsonObject& where);

    QQmlEngine& m_engine;
    int m_input;
    int m_output;
    QByteArray m_buffer;
    std::unique_ptr<QSocketNotifier> m_reader;
    std::unique_ptr<WebPlayerPage> m_page;
    // The parent's window wraps ours: declared first so that ours goes first.
    std::unique_ptr<QWindow> m_container;
    std::unique_ptr<QQuickWindow> m_window;
};

} // namespace tavrine

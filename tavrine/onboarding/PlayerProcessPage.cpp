#include "tavrine/onboarding/PlayerProcessPage.h"

#include "tavrine/onboarding/PlayerProcess.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTimer>
#include <QWindow>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(logOnboarding)

namespace tavrine {

PlayerProcessPage::Program PlayerProcessPage::ownProgram() {
    return {QCoreApplication::applicationFilePath(), {QString::fromLatin1(PlayerProcess::argument)}};
}

PlayerProcessPage::PlayerProcessPage(QUrl origin, QString apiUrl, Program program)
    : m_process(new QProcess), m_origin(std::move(origin)), m_apiUrl(std::move(apiUrl)) {
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const pid_t parent = ::getpid();
    // The player must not outlive us, even when we are killed; if we died before this line ran, it ends now.
    m_process->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
    });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &PlayerProcessPage::readEvents);
    connect(m_process, &QProcess::finished, this, &PlayerProcessPage::ended);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended();
    });
    m_process->start(program.path, program.arguments);
}

PlayerProcessPage::~PlayerProcessPage() {
    end();
}

void PlayerProcessPage::load() {
    send({{QStringLiteral("load"), QJsonObject{{QStringLiteral("origin"), m_origin.toString(QUrl::FullyEncoded)},
                                               {QStringLiteral("api"), m_apiUrl}}}});
}

void PlayerProcessPage::runScript(const QString& script) {
    send({{QStringLiteral("run"), script}});
}

void PlayerProcessPage::detach() {
    if (m_detached)
        return;
    m_detached = true;
    // The process ends with its page: nothing of the web engine stays once the player is done with it.
    send({{QStringLiteral("detach"), true}});
    end();
}

void PlayerProcessPage::place(QWindow* window, const QRect& rect, bool visible) {
    // Only an X11 window can take in another process's window.
    const bool embeddable = window && window->handle() && QGuiApplication::platformName() == QLatin1String("xcb");
    const Placement wanted{embeddable ? window->winId() : 0, rect, embeddable && visible};
    if (m_placed == wanted)
        return;
    m_placed = wanted;
    send({{QStringLiteral("place"), QJsonObject{{QStringLiteral("window"), double(wanted.window)},
                                                {QStringLiteral("x"), rect.x()},
                                                {QStringLiteral("y"), rect.y()},
                                                {QStringLiteral("width"), rect.width()},
                                                {QStringLiteral("height"), rect.height()},
                                                {QStringLiteral("visible"), wanted.visible}}}});
}

void PlayerProcessPage::handleEvent(const QByteArray& line) {
    if (m_detached)
        return;
    const QJsonObject event = QJsonDocument::fromJson(line).object();
    if (event.contains(QLatin1String("message")))
        emit message(event.value(QLatin1String("message")).toVariant());
    else if (event.value(QLatin1String("crashed")).toBool())
        emit crashed();
}

void PlayerProcessPage::send(const QJsonObject& command) {
    if (m_detached && !command.contains(QLatin1String("detach")))
        return;
    if (m_gone || !m_process || m_process->state() == QProcess::NotRunning)
        return;
    QByteArray line = QJsonDocument(command).toJson(QJsonDocument::Compact);
    line.append('\n');
    m_process->write(line);
}

void PlayerProcessPage::readEvents() {
    while (m_process && m_process->canReadLine()) {
        QByteArray line = m_process->readLine();
        line.chop(1);
        handleEvent(line);
    }
}

void PlayerProcessPage::ended() {
    if (m_gone)
        return;
    m_gone = true;
    readEvents();
    if (m_detached)
        return;
    qCWarning(logOnboarding) << "The web video player's process ended unexpectedly";
    emit crashed();
}

void PlayerProcessPage::end() {
    QProcess* process = std::exchange(m_process, nullptr);
    if (!process)
        return;
    disconnect(process, nullptr, this, nullptr);
    if (process->state() == QProcess::NotRunning) {
        delete process;
        return;
    }
    // Its input closing is the player's sign to end; one that does not is killed. The process object stays until
    // it has been reaped, so none is left behind, and at the latest the application's end takes it (QProcess
    // kills and reaps what still runs when it goes).
    process->setParent(QCoreApplication::instance());
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QTimer::singleShot(endingMilliseconds, process, [process] { process->kill(); });
    process->closeWriteChannel();
}

} // namespace tavrine

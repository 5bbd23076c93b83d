#include "tavrine/onboarding/PlayerProcess.h"

#include "tavrine/onboarding/WebPlayerPage.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace tavrine {

bool PlayerProcess::isPlayerLaunch(int argc, const char* const* argv) {
    return argc > 1 && std::strcmp(argv[1], argument) == 0;
}

int PlayerProcess::run(int argc, char** argv) {
    // The events' channel is the standard output as given; the engine and Qt print to the standard output too,
    // so from here on that goes to the standard error instead, and the channel stays ours.
    const int output = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (output < 0)
        return 1;
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    prepareWebEngine();
    int status = 0;
    {
        QGuiApplication app(argc, argv);
        QQmlEngine engine;
        ui::setUpQmlEngine(engine);
        PlayerProcess process(engine, STDIN_FILENO, output);
        status = QGuiApplication::exec();
    }
    // The engine's own teardown at exit is slow and saves nothing (the profile is off the record); its helpers
    // end on their own once this process is gone.
    std::fflush(nullptr);
    ::_exit(status);
}

PlayerProcess::PlayerProcess(QQmlEngine& engine, int input, int output)
    : m_engine(engine), m_input(input), m_output(output),
      m_reader(std::make_unique<QSocketNotifier>(input, QSocketNotifier::Read)) {
    connect(m_reader.get(), &QSocketNotifier::activated, this, &PlayerProcess::readInput);
    m_window = std::make_unique<QQuickWindow>();
    m_window->setObjectName(QStringLiteral("rehearsalPlayerWindow"));
    // The focus stays with the window this one is embedded in: that window's activation is what the rehearsal
    // follows.
    m_window->setFlags(Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    m_window->setColor(Qt::black);
}

PlayerProcess::~PlayerProcess() {
    m_page.reset();
    m_window.reset();
}

void PlayerProcess::leaveKeysToTheParent() {
    // Keys pressed with the pointer over the player would come here, where nothing answers them; unselected, they
    // travel up to the window the player is embedded in, as if the page were part of it.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    const auto window = xcb_window_t(m_window->winId());
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr);
    if (!attributes)
        return;
    const quint32 mask = attributes->your_event_mask & ~quint32(XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE);
    std::free(attributes);
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
}

void PlayerProcess::readInput() {
    char chunk[4096];
    const ssize_t count = ::read(m_input, chunk, sizeof chunk);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        // The parent closed the input or is gone: the player ends with it.
        m_reader->setEnabled(false);
        m_page.reset();
        QCoreApplication::exit(0);
        return;
    }
    m_buffer.append(chunk, count);
    qsizetype end;
    while ((end = m_buffer.indexOf('\n')) >= 0) {
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        handleCommand(line);
    }
}

void PlayerProcess::handleCommand(const QByteArray& line) {
    const QJsonObject command = QJsonDocument::fromJson(line).object();
    if (command.contains(QLatin1String("load")))
        load(command.value(QLatin1String("load")).toObject());
    else if (command.contains(QLatin1String("run")) && m_page)
        m_page->runScript(command.value(QLatin1String("run")).toString());
    else if (command.contains(QLatin1String("detach")) && m_page)
        m_page->detach();
    else if (command.contains(QLatin1String("place")))
        place(command.value(QLatin1String("place")).toObject());
}

void PlayerProcess::send(const QJsonObject& event) {
    QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact);
    line.append('\n');
    const char* data = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(m_output, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // the parent is gone; its input closing ends this process
        data += written;
        left -= written;
    }
}

void PlayerProcess::load(const QJsonObject& setting) {
    if (m_page)
        return;
    m_page = std::make_unique<WebPlayerPage>(m_engine, QUrl(setting.value(QLatin1String("origin")).toString()),
                                             setting.value(QLatin1String("api")).toString());
    connect(m_page.get(), &RehearsalPlayerPage::message, this, [this](const QVariant& body) {
        send({{QStringLiteral("message"), QJsonValue::fromVariant(body)}});
    });
    connect(m_page.get(), &RehearsalPlayerPage::crashed, this, [this] { send({{QStringLiteral("crashed"), true}}); });
    if (QQuickItem* view = m_page->view()) {
        view->setParentItem(m_window->contentItem());
        view->setSize(m_window->size());
        connect(m_window.get(), &QWindow::widthChanged, view, [view](int width) { view->setWidth(width); });
        connect(m_window.get(), &QWindow::heightChanged, view, [view](int height) { view->setHeight(height); });
    }
    m_page->load();
}

void PlayerProcess::place(const QJsonObject& where) {
    // X window numbers fit a double exactly.
    const auto parent = WId(where.value(QLatin1String("window")).toDouble());
    const QRect rect(where.value(QLatin1String("x")).toInt(), where.value(QLatin1String("y")).toInt(),
                     where.value(QLatin1String("width")).toInt(), where.value(QLatin1String("height")).toInt());
    // Placed only where it shows: the window is first made inside its parent, at its size, never as a window of
    // its own that the window manager could take.
    if (parent == 0 || !where.value(QLatin1String("visible")).toBool() || rect.isEmpty()) {
        m_window->hide();
        return;
    }
    if (!m_container || m_container->winId() != parent) {
        m_window->hide();
        std::unique_ptr<QWindow> container(QWindow::fromWinId(parent));
        m_window->setParent(container.get());
        m_container = std::move(container);
    }
    m_window->setGeometry(rect);
    if (!m_window->handle()) {
        m_window->create();
        leaveKeysToTheParent();
    }
    m_window->show();
}

} // namespace tavrine

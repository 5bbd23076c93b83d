#pragma once

#include "tavrine/onboarding/RehearsalPlayerPage.h"
#include "tavrine/onboarding/WebPlayerPage.h"

#include <QProcess>
#include <QStringList>
#include <QUrl>
#include <QtGui/qwindowdefs.h>
#include <optional>

namespace tavrine {

// The page in a player process of its own (PlayerProcess), started at once, so that the web engine and its
// helper processes end with the page. The process dies with this one, and is ended on detach and at the latest when
// the page goes: its input closes, and one still running after endingMilliseconds is killed. The ending happens
// in the background, so a slow or hung player never holds the interface. Its window is embedded wherever place()
// says.
class PlayerProcessPage final : public RehearsalPlayerPage {
    Q_OBJECT
public:
    struct Program {
        QString path;
        QStringList arguments;
    };
    // This very program, started as the player.
    static Program ownProgram();

    // How long the process has to end on its own once its input closes, before it is killed.
    static constexpr int endingMilliseconds = 5000;

    explicit PlayerProcessPage(QUrl origin = WebPlayerPage::configuredOrigin(),
                               QString apiUrl = WebPlayerPage::configuredApiUrl(), Program program = ownProgram());
    ~PlayerProcessPage() override;

    void load() override;
    void runScript(const QString& script) override;
    void detach() override;
    void place(QWindow* window, const QRect& rect, bool visible) override;

    // The process's id while it runs and is the page's, else 0.
    qint64 processId() const { return m_process ? m_process->processId() : 0; }

private:
    struct Placement {
        WId window;
        QRect rect;
        bool visible;
        bool operator==(const Placement&) const = default;
    };

    // One line the process wrote, without its newline.
    void handleEvent(const QByteArray& line);
    void send(const QJsonObject& command);
    void readEvents();
    void ended();
    void end();

    QProcess* m_process; // the page's until end() lets it go
    QUrl m_origin;
    QString m_apiUrl;
    bool m_detached = false;
    bool m_gone = false;
    std::optional<Placement> m_placed;
};

} // namespace tavrine

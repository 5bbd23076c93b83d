#pragma once

#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

class QTcpServer;
class QTcpSocket;

namespace tavrine::test {

// One call the page made on the fake site's player object, e.g. {"cueVideoById", [{"videoId": …}]}.
struct EmbedCall {
    QString name;
    QJsonArray args;
};

// The video site as the rehearsal's page meets it, on 127.0.0.1 with a free port: the page's origin and the
// player API script ("/iframe_api"). The script imitates the site's IFrame API: it defines YT.Player, calls the
// page's onYouTubeIframeAPIReady once loaded, reports onReady, and answers loads and cues with state changes or
// errors as each clip's behaviour says. Every call the page makes on the player is posted back here ("/call")
// and recorded in the order the page made it.
class FakeVideoEmbed : public QObject {
    Q_OBJECT
public:
    enum class Clip {
        plays,      // loading: state 3 then 1; cueing: state 5; playVideo: state 1; pauseVideo: state 2
        refused,    // error 150 (the owner does not allow embedding)
        stalls,     // state -1 and nothing more, whatever is asked
        textState,  // loading or playing: state "1" as text, as no real site would send
    };

    explicit FakeVideoEmbed(QObject* parent = nullptr);
    ~FakeVideoEmbed() override;

    bool listen();
    // "http://127.0.0.1:<port>": the page's base address.
    QUrl origin() const;
    // The API script's address, for the page's script element.
    QString apiUrl() const;

    // How a clip answers; an identifier without one plays. Takes effect for scripts served afterwards.
    void setClip(const QString& identifier, Clip behaviour) { m_clips.insert(identifier, behaviour); }

    QList<EmbedCall> calls() const { return m_calls; }
    QStringList callNames() const;
    // How many times the API script was served, and every path asked for.
    int scriptsServed() const { return m_scriptsServed; }
    QStringList paths() const { return m_paths; }

signals:
    void called(const EmbedCall& call);

private:
    void onNewConnection();
    void serve(QTcpSocket* socket);
    void record(const QByteArray& body);
    QByteArray script() const;

    QTcpServer* m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QHash<QString, Clip> m_clips;
    // Calls arrive on parallel connections; each carries the page's sequence number, so they are kept in order.
    QList<QPair<qint64, EmbedCall>> m_ordered;
    QList<EmbedCall> m_calls;
    QStringList m_paths;
    int m_scriptsServed = 0;
};

} // namespace tavrine::test

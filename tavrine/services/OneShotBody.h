#pragma once

#include <QByteArray>
#include <QIODevice>

namespace tavrine {

// A request body that can be read only once. Qt silently sends a request again when the connection drops
// before the answer begins, after rewinding its body; a body that cannot rewind turns that resend into an error
// (QNetworkReply::ContentReSendError), so a POST reaches the service at most once.
class OneShotBody : public QIODevice {
    Q_OBJECT
public:
    explicit OneShotBody(QByteArray data, QObject* parent = nullptr);

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool reset() override { return false; }
    bool seek(qint64) override { return false; }
    qint64 size() const override { return m_data.size(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_position = 0;
};

} // namespace tavrine

#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <mutex>
#include <optional>

namespace tavrine::capture {

// The PNG bytes and the fingerprint of a capture's crop. A window that did not change gives a crop with exactly
// the same pixels as the last one: its encoding (the larger part of an unchanged capture's cost) is then reused.
// Only an exact pixel match counts. Thread-safe.
class CropEncoder {
public:
    struct Encoded {
        std::optional<QByteArray> png;
        QString fingerprint;
    };
    Encoded encode(const QImage& crop);

private:
    std::mutex m_mutex;
    QImage m_last;
    Encoded m_encoded;
};

} // namespace tavrine::capture

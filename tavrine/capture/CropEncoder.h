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
        // The crop to hand on: the last one when the pixels are the same, so that the stages after this one (the
        // text reader) know it for the image they saw before without looking at its pixels again.
        QImage crop;
    };
    Encoded encode(const QImage& crop);

private:
    std::mutex m_mutex;
    Encoded m_last;
};

} // namespace tavrine::capture

#pragma once

#include <QByteArray>
#include <QImage>

#include <memory>
#include <mutex>
#include <optional>

namespace tavrine {

// Optional PNG bytes that may still be an image: a capture's crop is encoded only when someone reads its bytes,
// since encoding a window costs about 50 ms and most captures are judged on their text and fingerprint alone.
// Copies share one encoding, made once whichever thread reads first. Reads like std::optional<QByteArray>.
// An image is present from the start; should its encoding fail, its bytes read as empty.
class PngBytes {
public:
    PngBytes() = default;
    PngBytes(std::nullopt_t) {}
    PngBytes(QByteArray bytes);
    PngBytes(std::optional<QByteArray> bytes);
    // The image's PNG, encoded at the first read; absent for a null image.
    static PngBytes encoding(QImage image);

    bool has_value() const { return m_state != nullptr; }
    explicit operator bool() const { return has_value(); }
    // Throws std::bad_optional_access when absent.
    const QByteArray& value() const;
    const QByteArray& operator*() const { return value(); }
    const QByteArray* operator->() const { return &value(); }
    void reset() { m_state.reset(); }

    // Equal when both are absent, or hold the same bytes (comparing two images encodes them).
    friend bool operator==(const PngBytes& a, const PngBytes& b);

private:
    struct State {
        std::once_flag encoded;
        QImage image;
        QByteArray bytes;
    };
    std::shared_ptr<State> m_state;
};

} // namespace tavrine

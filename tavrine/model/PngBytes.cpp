#include "tavrine/model/PngBytes.h"

#include "tavrine/model/ImageData.h"

namespace tavrine {

PngBytes::PngBytes(QByteArray bytes) : m_state(std::make_shared<State>()) {
    m_state->bytes = std::move(bytes);
}

PngBytes::PngBytes(std::optional<QByteArray> bytes) {
    if (bytes)
        *this = PngBytes(std::move(*bytes));
}

PngBytes PngBytes::encoding(QImage image) {
    PngBytes png;
    if (image.isNull())
        return png;
    png.m_state = std::make_shared<State>();
    png.m_state->image = std::move(image);
    return png;
}

const QByteArray& PngBytes::value() const {
    if (!m_state)
        throw std::bad_optional_access();
    State& state = *m_state;
    std::call_once(state.encoded, [&state] {
        if (state.image.isNull())
            return;
        state.bytes = encodeImageData(state.image).value_or(QByteArray());
        // The pixels are no longer needed once their bytes exist.
        state.image = QImage();
    });
    return state.bytes;
}

bool operator==(const PngBytes& a, const PngBytes& b) {
    if (!a || !b)
        return !a && !b;
    return a.m_state == b.m_state || *a == *b;
}

} // namespace tavrine

#include "tavrine/services/OneShotBody.h"

#include <cstring>

namespace tavrine {

OneShotBody::OneShotBody(QByteArray data, QObject* parent) : QIODevice(parent), m_data(std::move(data)) {
    open(QIODevice::ReadOnly);
}

qint64 OneShotBody::bytesAvailable() const {
    return (m_data.size() - m_position) + QIODevice::bytesAvailable();
}

qint64 OneShotBody::readData(char* data, qint64 maxSize) {
    const qint64 count = std::min<qint64>(maxSize, m_data.size() - m_position);
    if (count <= 0)
        return 0;
    std::memcpy(data, m_data.constData() + m_position, static_cast<size_t>(count));
    m_position += count;
    return count;
}

} // namespace tavrine

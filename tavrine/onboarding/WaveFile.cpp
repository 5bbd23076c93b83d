#include "tavrine/onboarding/WaveFile.h"

#include <QtEndian>
#include <cmath>
#include <cstring>
#include <limits>

namespace tavrine {

namespace {

constexpr quint16 formatPCM = 1;
constexpr quint16 formatFloat = 3;
constexpr quint16 formatExtensible = 0xFFFE;
// Sample rates beyond any real recording are treated as damage.
constexpr quint32 maximumSampleRate = 768000;

struct Format {
    quint16 encoding = 0;
    quint16 channels = 0;
    quint32 sampleRate = 0;
    quint16 blockAlign = 0;
    quint16 bits = 0;
};

quint16 u16(const char* p) { return qFromLittleEndian<quint16>(p); }
quint32 u32(const char* p) { return qFromLittleEndian<quint32>(p); }

std::optional<Format> readFormat(const char* p, quint32 size) {
    if (size < 16)
        return std::nullopt;
    Format f{u16(p), u16(p + 2), u32(p + 4), u16(p + 12), u16(p + 14)};
    if (f.encoding == formatExtensible) {
        // cbSize (2), valid bits (2), channel mask (4), then the sub-format GUID whose first two bytes are the tag.
        if (size < 40 || u16(p + 16) < 22)
            return std::nullopt;
        f.encoding = u16(p + 24);
    }
    const bool pcm = f.encoding == formatPCM && (f.bits == 8 || f.bits == 16 || f.bits == 24 || f.bits == 32);
    const bool floating = f.encoding == formatFloat && (f.bits == 32 || f.bits == 64);
    if (!pcm && !floating)
        return std::nullopt;
    if (f.channels == 0 || f.sampleRate == 0 || f.sampleRate > maximumSampleRate)
        return std::nullopt;
    if (f.blockAlign != f.channels * (f.bits / 8))
        return std::nullopt;
    return f;
}

float sampleAt(const char* p, const Format& f) {
    if (f.encoding == formatFloat) {
        if (f.bits == 32) {
            float v;
            quint32 raw = u32(p);
            std::memcpy(&v, &raw, 4);
            return std::isfinite(v) ? v : 0.0f;
        }
        double v;
        quint64 raw = qFromLittleEndian<quint64>(p);
        std::memcpy(&v, &raw, 8);
        return std::isfinite(v) ? float(v) : 0.0f;
    }
    switch (f.bits) {
    case 8:
        return (float(quint8(p[0])) - 128.0f) / 128.0f;
    case 16:
        return float(qint16(u16(p))) / 32768.0f;
    case 24: {
        qint32 v = qint32(quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16);
        if (v & 0x800000)
            v -= 0x1000000;
        return float(v) / 8388608.0f;
    }
    default:
        return float(double(qint32(u32(p))) / 2147483648.0);
    }
}

} // namespace

std::optional<WaveFile> WaveFile::parse(const QByteArray& bytes) {
    const qint64 total = bytes.size();
    const char* data = bytes.constData();
    if (total < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return std::nullopt;
    std::optional<Format> format;
    qint64 at = 12;
    while (at + 8 <= total) {
        const char* header = data + at;
        const quint32 size = u32(header + 4);
        const qint64 body = at + 8;
        if (qint64(size) > total - body)
            return std::nullopt;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            format = readFormat(data + body, size);
            if (!format)
                return std::nullopt;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!format)
                return std::nullopt;
            const quint64 frames = size / format->blockAlign;
            if (frames == 0 || frames > std::numeric_limits<quint32>::max())
                return std::nullopt;
            WaveFile out;
            out.sampleRate = int(format->sampleRate);
            out.samples.resize(frames);
            const int width = format->bits / 8;
            const char* p = data + body;
            for (quint64 i = 0; i < frames; ++i) {
                float sum = 0;
                for (int c = 0; c < format->channels; ++c, p += width)
                    sum += sampleAt(p, *format);
                out.samples[i] = sum / float(format->channels);
            }
            return out;
        }
        // Chunks are padded to an even length.
        at = body + qint64(size) + (size & 1);
    }
    return std::nullopt;
}

} // namespace tavrine

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrine {

// A 1-bit image: each row in 32-bit words, its leftmost pixel in the highest bit of its first word, the bits past
// the width clear. It is the layout the OCR module's morphology works in, so images cross to it as they are.
class BitImage {
public:
    BitImage() = default;
    // All clear; null when either side is not positive.
    BitImage(int width, int height) {
        if (width <= 0 || height <= 0)
            return;
        m_width = width;
        m_height = height;
        m_wordsPerLine = (width + 31) / 32;
        m_words.assign(std::size_t(m_wordsPerLine) * std::size_t(height), 0);
    }

    bool isNull() const { return m_words.empty(); }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int wordsPerLine() const { return m_wordsPerLine; }
    std::uint32_t* words() { return m_words.data(); }
    const std::uint32_t* words() const { return m_words.data(); }
    std::size_t byteCount() const { return m_words.size() * sizeof(std::uint32_t); }
    std::uint32_t* line(int y) { return m_words.data() + std::size_t(y) * std::size_t(m_wordsPerLine); }
    const std::uint32_t* line(int y) const { return m_words.data() + std::size_t(y) * std::size_t(m_wordsPerLine); }

    bool test(int x, int y) const { return (line(y)[x >> 5] & (0x80000000u >> (x & 31))) != 0; }
    void set(int x, int y) { line(y)[x >> 5] |= 0x80000000u >> (x & 31); }

    // Clears the bits past the width of each row, which a library may leave set.
    void clearPadding() {
        if (m_width % 32 == 0)
            return;
        const std::uint32_t kept = ~(0xffffffffu >> (m_width % 32));
        for (int y = 0; y < m_height; ++y)
            line(y)[m_wordsPerLine - 1] &= kept;
    }
    bool isEmpty() const {
        for (std::uint32_t word : m_words) {
            if (word != 0)
                return false;
        }
        return true;
    }
    // The pixels set in this image or (in the next) in `other`, of the same size.
    BitImage& operator|=(const BitImage& other) {
        for (std::size_t i = 0; i < m_words.size() && i < other.m_words.size(); ++i)
            m_words[i] |= other.m_words[i];
        return *this;
    }
    BitImage& operator&=(const BitImage& other) {
        for (std::size_t i = 0; i < m_words.size() && i < other.m_words.size(); ++i)
            m_words[i] &= other.m_words[i];
        return *this;
    }
    // Clears the pixels set in `other`.
    BitImage& subtract(const BitImage& other) {
        for (std::size_t i = 0; i < m_words.size() && i < other.m_words.size(); ++i)
            m_words[i] &= ~other.m_words[i];
        return *this;
    }

private:
    int m_width = 0;
    int m_height = 0;
    int m_wordsPerLine = 0;
    std::vector<std::uint32_t> m_words;
};

} // namespace tavrine

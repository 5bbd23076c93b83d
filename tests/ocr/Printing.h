#pragma once

#include "tavrine/ocr/TextRecognition.h"

#include <QRect>
#include <ostream>

// Readable texts in failure messages (found by argument-dependent lookup).
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QRect& rect, std::ostream* out) {
    *out << rect.x() << ',' << rect.y() << ' ' << rect.width() << 'x' << rect.height();
}

namespace tavrine {
inline void PrintTo(const MergedText& merged, std::ostream* out) {
    *out << "{\"" << merged.text.toStdString() << "\", " << merged.added << "}";
}
} // namespace tavrine

#pragma once

#include <QRectF>
#include <QString>

#include <ostream>

// Readable failure messages for Qt values.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QRectF& rect, std::ostream* out) {
    *out << "QRectF(" << rect.x() << ", " << rect.y() << ", " << rect.width() << ", " << rect.height() << ')';
}

#include "TextImages.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

namespace tavrine::test {

namespace {

const char* const vocabulary[] = {
    "focus",    "session",  "window",  "capture", "recognise", "the",     "of",      "and",     "text",
    "merge",    "budget",   "layout",  "thread",  "cancel",    "image",   "pixel",   "line",    "cache",
    "project",  "report",   "revenue", "meeting", "notes",     "design",  "review",  "browser", "editor",
    "terminal", "compile",  "error",   "warning", "function",  "return",  "value",   "system",  "desktop",
    "planning", "schedule", "invoice", "garden",  "weather",   "journey", "morning", "window",  "answer"};

struct LineLook {
    const char* family;
    int pixelSize;
    bool bold;
};

LineLook lookOf(int number) {
    if (number % 9 == 0)
        return {"DejaVu Sans", 26, true};
    switch (number % 4) {
    case 0:
        return {"DejaVu Serif", 17, false};
    case 1:
        return {"DejaVu Sans", 16, false};
    case 2:
        return {"Nimbus Sans", 18, false};
    default:
        return {"DejaVu Sans Mono", 15, false};
    }
}

int lineHeightOf(int number) {
    return lookOf(number).pixelSize * 2;
}

} // namespace

QImage renderLines(const QSize& size, const QStringList& lines, const TextStyle& style, int top, int lineHeight) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(style.paper);
    QPainter painter(&image);
    QFont font(style.family);
    font.setPixelSize(style.pixelSize);
    painter.setFont(font);
    painter.setPen(style.ink);
    const int ascent = QFontMetrics(font).ascent();
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(40, top + i * lineHeight + ascent, lines.at(i));
    return image;
}

void drawText(QImage& image, QPoint origin, const QString& text, const TextStyle& style) {
    QPainter painter(&image);
    QFont font(style.family);
    font.setPixelSize(style.pixelSize);
    painter.setFont(font);
    painter.setPen(style.ink);
    painter.drawText(origin, text);
}

QString documentLine(int number, int editedLine, int revision) {
    if (number == editedLine)
        return QStringLiteral("Edited %1 times: the quick brown fox jumps over the lazy dog").arg(revision + 1);
    QRandomGenerator rng{quint32(number) * 2654435761u + 7};
    const int count = number % 9 == 0 ? 4 : 7 + int(rng.bounded(8));
    QStringList words;
    for (int i = 0; i < count; ++i)
        words.append(QString::fromLatin1(vocabulary[rng.bounded(int(std::size(vocabulary)))]));
    return words.join(QLatin1Char(' '));
}

QImage renderDocument(const QSize& size, int firstLine, int editedLine, bool dark, int revision) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(dark ? QColor(32, 33, 36) : QColor(255, 255, 255));
    QPainter painter(&image);
    painter.setPen(dark ? QColor(222, 222, 222) : QColor(25, 25, 25));
    // The top line sits at the same place whatever the scroll position: scrolling moves every line by the
    // heights of the lines that left, and a line looks the same wherever it is drawn.
    int y = 12;
    for (int number = firstLine; y < size.height(); ++number) {
        const LineLook look = lookOf(number);
        QFont font(QString::fromLatin1(look.family));
        font.setPixelSize(look.pixelSize);
        font.setBold(look.bold);
        painter.setFont(font);
        painter.drawText(40, y + QFontMetrics(font).ascent(),
                         QString::number(number + 1) + QLatin1String("  ") +
                             documentLine(number, editedLine, revision));
        y += lineHeightOf(number);
    }
    return image;
}

QString sheetRow(int row, const SheetLook& look) {
    if (row == 0)
        return QStringLiteral("Quarterly garden plan");
    QRandomGenerator rng{quint32(row) * 2246822519u + 3};
    QStringList words;
    for (int column = 0; column < 4; ++column)
        words.append(QString::fromLatin1(vocabulary[rng.bounded(int(std::size(vocabulary)))]));
    if (look.numbers)
        words.append(QString::number(10 + rng.bounded(9990)));
    return words.join(QLatin1Char(' '));
}

QImage renderSheet(const QSize& size, int firstRow, int cursorRow, const SheetLook& look) {
    const int rowHeight = look.rowHeight;
    constexpr int columnWidth = 80;
    constexpr int numbersWidth = 34;
    constexpr int top = 30;
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    painter.setFont(font);
    const int ascent = QFontMetrics(font).ascent();
    // The header band and the row numbers' column, shaded, with darker lines than the grid.
    painter.fillRect(QRect(0, top - rowHeight, size.width(), rowHeight), QColor(236, 236, 236));
    painter.fillRect(QRect(0, top, numbersWidth, size.height() - top), QColor(236, 236, 236));
    painter.setPen(QColor(200, 200, 200));
    for (int y = top; y < size.height(); y += rowHeight)
        painter.drawLine(0, y, size.width(), y);
    for (int x = numbersWidth; x < size.width(); x += columnWidth)
        painter.drawLine(x, top - rowHeight, x, size.height());
    if (look.pageBreak) {
        // Dashes six pixels long, dark beside light, over the grid line.
        const int x = numbersWidth + 7 * columnWidth;
        painter.fillRect(QRect(x - 1, top, 2, size.height() - top), Qt::white);
        for (int y = top; y < size.height(); y += 9) {
            painter.fillRect(QRect(x - 1, y, 1, 6), QColor(60, 60, 60));
            painter.fillRect(QRect(x, y, 1, 6), QColor(190, 190, 190));
        }
    }
    painter.setPen(QColor(40, 40, 40));
    for (int column = 0; numbersWidth + column * columnWidth < size.width(); ++column)
        painter.drawText(QRect(numbersWidth + column * columnWidth, top - rowHeight, columnWidth, rowHeight),
                         Qt::AlignCenter, QString(QChar(u'A' + column)));
    for (int row = firstRow, y = top; y + rowHeight <= size.height(); ++row, y += rowHeight) {
        painter.setPen(QColor(40, 40, 40));
        painter.drawText(QRect(0, y, numbersWidth - 4, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(row + 1));
        painter.setPen(Qt::black);
        if (row == 0) {
            // A title wider than its cell runs on over the cells beside it, which hide their grid lines.
            painter.fillRect(QRect(numbersWidth + 1, y + 1, 2 * columnWidth, rowHeight - 1), Qt::white);
            painter.drawText(numbersWidth + 3, y + look.textTop + ascent, sheetRow(0, look));
        } else {
            const QStringList words = sheetRow(row, look).split(QLatin1Char(' '));
            for (int column = 0; column < words.size(); ++column) {
                const int left = numbersWidth + column * columnWidth;
                if (look.numbers && column == 4)
                    painter.drawText(QRect(left, y + look.textTop, columnWidth - 3, rowHeight - look.textTop),
                                     Qt::AlignRight | Qt::AlignTop, words.at(column));
                else
                    painter.drawText(left + 3, y + look.textTop + ascent, words.at(column));
            }
        }
        if (row == cursorRow) {
            painter.setPen(QPen(Qt::black, 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRect(numbersWidth + 1, y + 1, columnWidth - 2, rowHeight - 2));
        }
    }
    return image;
}

namespace {

// The file grid: names in rows of three, wrapped where they break at a hyphen.
const QStringList fileNames = {QStringLiteral("bridle-stitching.txt"),    QStringLiteral("crane-|inspection.odt"),
                               QStringLiteral("fender-repair-|notes.md"), QStringLiteral("ferry-timetable.pdf"),
                               QStringLiteral("quay-survey.csv"),         QStringLiteral("winter-mooring-|plan.txt")};

} // namespace

QImage renderFileManager(const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    QFont heading = font;
    heading.setBold(true);
    const int ascent = QFontMetrics(font).ascent();
    painter.fillRect(QRect(0, 68, size.width(), 32), QColor(240, 232, 222));
    painter.setFont(font);
    painter.setPen(QColor(40, 40, 40));
    painter.drawText(8, 77 + ascent, QStringLiteral("Warning: you are using the root account."));
    // The side pane, with a divider down the window.
    painter.setPen(QColor(200, 200, 200));
    painter.drawLine(170, 100, 170, size.height());
    const auto place = [&](int y, const QString& label) {
        painter.setPen(QPen(QColor(90, 90, 90), 1.5));
        painter.setBrush(QColor(230, 230, 230));
        painter.drawRoundedRect(QRectF(19, y, 18, 16), 3, 3);
        painter.setPen(QColor(30, 30, 30));
        painter.setFont(font);
        painter.drawText(44, y + 2 + ascent, label);
    };
    painter.setFont(heading);
    painter.setPen(QColor(30, 30, 30));
    painter.drawText(8, 109 + ascent, QStringLiteral("Places"));
    place(134, QStringLiteral("home"));
    painter.setFont(heading);
    painter.drawText(8, 162 + ascent, QStringLiteral("Devices"));
    place(186, QStringLiteral("File System"));
    // The file grid: a page-like icon 44 x 56 over each name, the second one a coloured document.
    painter.setFont(font);
    for (qsizetype i = 0; i < fileNames.size(); ++i) {
        const int left = 175 + int(i % 3) * 140;
        const int top = 113 + int(i / 3) * 112;
        painter.setPen(QPen(QColor(150, 150, 150), 1));
        painter.setBrush(i == 1 ? QColor(20, 110, 190) : QColor(246, 246, 246));
        painter.drawRect(QRectF(left + 48, top, 44, 56));
        painter.setPen(QPen(i == 1 ? Qt::white : QColor(150, 150, 150), 1.5));
        for (int k = 0; k < 7; ++k)
            painter.drawLine(QPointF(left + 54, top + 10 + 6 * k), QPointF(left + 86, top + 10 + 6 * k));
        painter.setPen(QColor(30, 30, 30));
        const QStringList parts = fileNames.at(i).split(u'|');
        for (qsizetype k = 0; k < parts.size(); ++k)
            painter.drawText(QRect(left, top + 64 + int(k) * 17, 140, 17), Qt::AlignHCenter, parts.at(k));
    }
    return image;
}

QImage renderIcons(const QSize& size, bool dark, int seed) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(dark ? QColor(32, 33, 36) : QColor(246, 246, 246));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator rng{quint32(seed)};
    const QColor ink = dark ? QColor(210, 210, 210) : QColor(60, 60, 60);
    const int iconSize = 16 + int(rng.bounded(33));
    // A toolbar of icons: circles, rounded squares, arrows, gear-like stars and hamburger menus.
    for (int i = 0; 20 + (i + 1) * (iconSize + 24) < size.width(); ++i) {
        const QRectF cell(20 + i * (iconSize + 24), 16, iconSize, iconSize);
        painter.setPen(QPen(ink, 1.5 + iconSize / 16.0));
        painter.setBrush(rng.bounded(3) == 0 ? QBrush(ink) : Qt::NoBrush);
        switch (rng.bounded(6)) {
        case 0:
            painter.drawEllipse(cell);
            break;
        case 1:
            painter.drawRoundedRect(cell, iconSize / 5.0, iconSize / 5.0);
            break;
        case 2: {
            QPainterPath arrow;
            arrow.moveTo(cell.left(), cell.center().y());
            arrow.lineTo(cell.right(), cell.center().y());
            arrow.moveTo(cell.right() - iconSize / 3.0, cell.top() + iconSize / 5.0);
            arrow.lineTo(cell.right(), cell.center().y());
            arrow.lineTo(cell.right() - iconSize / 3.0, cell.bottom() - iconSize / 5.0);
            painter.drawPath(arrow);
            break;
        }
        case 3: {
            QPolygonF star;
            for (int k = 0; k < 16; ++k) {
                const double radius = (k % 2 == 0 ? 0.5 : 0.28) * iconSize;
                const double angle = k * M_PI / 8;
                star << cell.center() + QPointF(radius * std::cos(angle), radius * std::sin(angle));
            }
            painter.drawPolygon(star);
            break;
        }
        case 4: {
            // A magnifier.
            painter.drawEllipse(QRectF(cell.topLeft(), cell.size() * 0.65));
            painter.drawLine(cell.topLeft() + QPointF(iconSize * 0.55, iconSize * 0.55), cell.bottomRight());
            break;
        }
        default:
            for (int k = 0; k < 3; ++k)
                painter.drawLine(QPointF(cell.left(), cell.top() + iconSize * (0.2 + 0.3 * k)),
                                 QPointF(cell.right(), cell.top() + iconSize * (0.2 + 0.3 * k)));
        }
    }
    // Controls down the side: check boxes, switches, a slider and a progress bar; rules between rows.
    const int rows = 6;
    const int rowHeight = std::max(1, (size.height() - 100) / rows);
    for (int k = 0; k < rows; ++k) {
        const int y = 80 + k * rowHeight;
        painter.setPen(QPen(ink, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawLine(20, y, size.width() - 20, y);
        painter.setBrush(QColor::fromHsv(int(rng.bounded(360)), 120, 200));
        painter.drawEllipse(QRectF(30, y + 12, 36, 36));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(90, y + 20, 18, 18));
        if (k % 2 == 0) {
            painter.drawLine(QPointF(93, y + 29), QPointF(98, y + 35));
            painter.drawLine(QPointF(98, y + 35), QPointF(106, y + 22));
        }
        painter.drawRoundedRect(QRectF(130, y + 20, 40, 20), 10, 10);
        painter.setBrush(ink);
        painter.drawEllipse(QRectF(k % 2 == 0 ? 132 : 152, y + 22, 16, 16));
        painter.drawRect(QRectF(200, y + 28, 20 + rng.bounded(200), 4));
    }
    // A bar chart without labels.
    for (int k = 0; k < 12; ++k) {
        const int height = 10 + int(rng.bounded(std::max(1, size.height() / 3)));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromHsv(200 + k * 5, 140, 210));
        painter.drawRect(QRectF(size.width() - 300 + k * 22, size.height() - 30 - height, 16, height));
    }
    // A photograph-like area: smooth colour blobs with grain.
    const QRect photo(size.width() / 3, 90, size.width() / 3, size.height() / 2);
    if (photo.width() > 0 && photo.height() > 0) {
        for (int k = 0; k < 40; ++k) {
            QRadialGradient gradient(photo.left() + rng.bounded(photo.width()),
                                     photo.top() + rng.bounded(photo.height()), 20 + rng.bounded(120));
            gradient.setColorAt(0, QColor::fromHsv(int(rng.bounded(360)), 150, 220, 180));
            gradient.setColorAt(1, Qt::transparent);
            painter.setPen(Qt::NoPen);
            painter.setBrush(gradient);
            painter.drawRect(photo);
        }
        for (int k = 0; k < photo.width() * photo.height() / 20; ++k) {
            const int grain = int(rng.bounded(256));
            painter.setPen(QColor(grain, grain, grain, 60));
            painter.drawPoint(photo.left() + int(rng.bounded(photo.width())),
                              photo.top() + int(rng.bounded(photo.height())));
        }
    }
    return image;
}

} // namespace tavrine::test

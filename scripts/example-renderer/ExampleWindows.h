#pragma once
// The eight sample windows of examples/screenshots: made-up windows with made-up text, drawn with DejaVu fonts
// so that text recognition has something real to read. Also drawn scrolled and with one line rewritten, the way
// a window changes between two captures. Drawing needs a QGuiApplication (fonts).
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <vector>

namespace examples {

struct Block {
    QRect area;
    QString text;
    int pixelSize = 15;
    QColor color = QColor(30, 32, 36);
    bool bold = false;
    bool mono = false;
    // Stays where it is when the window scrolls (a side bar, a message list).
    bool fixed = false;
};

struct Panel {
    QRect area;
    QColor color;
    bool fixed = false;
};

struct Window {
    QString file;
    QSize size{960, 600};
    QColor background = Qt::white;
    QColor chrome = QColor(236, 236, 238);
    QString title;
    // Shown in the top band of the window (address bar, tabs); text recognition leaves that band out.
    QString toolbar;
    std::vector<Panel> panels;
    std::vector<Block> blocks;
    // The edited copy shows `editedText` where the window shows `editText`: one line rewritten.
    QString editText{};
    QString editedText{};
};


std::vector<Window> windows();

// The window with its content scrolled up by `lines` lines of its body text (the content goes on below with the
// page from its top again; fixed parts and the title bar stay) and, when `edited`, with one line rewritten.
QImage draw(const Window& window, int lines = 0, bool edited = false);

} // namespace examples

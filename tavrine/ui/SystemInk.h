#pragma once

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace tavrine::ui {

class PaletteWatcher;

// The colours of text and symbols drawn in the desktop's system styles (default, secondary, link), from the
// application palette as it is now and following its changes. Qt Quick's plain Text is black unless told, and a
// theme may hand out a link or placeholder colour meant for the other scheme: every ink here reads at 4.5:1 or
// better on the palette's window colour.
class SystemInk final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QColor text READ text NOTIFY changed)
    Q_PROPERTY(QColor secondaryText READ secondaryText NOTIFY changed)
    Q_PROPERTY(QColor link READ link NOTIFY changed)

public:
    explicit SystemInk(QObject* parent = nullptr);

    static constexpr double readableRatio = 4.5;
    // How much of the text colour a secondary text keeps over its ground when that still reads.
    static constexpr double secondaryShare = 0.6;

    // The secondary style on `fill` (a selection, a tinted block) laid over the palette's window colour.
    Q_INVOKABLE QColor secondaryOn(const QColor& fill) const;
    // `ink` (a fixed colour such as a warning red) made to read on `fill` over the window colour; with no
    // fill, on the window colour itself.
    Q_INVOKABLE QColor readableOn(const QColor& ink, const QColor& fill = QColor(Qt::transparent)) const;

    QColor text() const { return m_text; }
    QColor secondaryText() const { return m_secondaryText; }
    QColor link() const { return m_link; }

    // WCAG's contrast ratio of two opaque colours, 1 to 21.
    static double contrastRatio(const QColor& a, const QColor& b);
    // `ink` as it is when it reads on `ground`, else moved toward black or white (whichever lies farther from
    // the ground) just far enough to read.
    static QColor readable(const QColor& ink, const QColor& ground);
    // The secondary style: the text colour faded toward the ground, never below the readable ratio.
    static QColor secondary(const QColor& text, const QColor& ground);

signals:
    void changed();

private:
    void readPalette();

    PaletteWatcher* m_watcher = nullptr;
    QColor m_window;
    QColor m_text;
    QColor m_secondaryText;
    QColor m_link;
};

} // namespace tavrine::ui

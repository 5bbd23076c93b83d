#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

#include <memory>

namespace tavrine::ui {

class ScreenCurtain;

// The height of a window that follows its content. A shown window whose content changes height would otherwise
// show the new content cut to the old height, or the old content cut short, until it has been resized and drawn
// again: so while it shows, each change of height happens under a still picture of the screen as it was (a
// ScreenCurtain over the window's old and new place), which goes once the window has drawn a frame at its new
// height. A hidden window takes the height at once. Bind the window's height (and its limits) to `height`.
class WindowGrowth : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickWindow* window READ window WRITE setWindow NOTIFY windowChanged)
    Q_PROPERTY(qreal wantedHeight READ wantedHeight WRITE setWantedHeight NOTIFY wantedHeightChanged)
    Q_PROPERTY(qreal height READ height NOTIFY heightChanged)

public:
    explicit WindowGrowth(QObject* parent = nullptr);
    ~WindowGrowth() override;

    QQuickWindow* window() const { return m_window; }
    void setWindow(QQuickWindow* window);
    qreal wantedHeight() const { return m_wanted; }
    void setWantedHeight(qreal height);
    qreal height() const { return m_wanted; }

    // The area a change from `from` to a height of `height` covers: the window's place before and after, for a
    // window that keeps its top edge where it was, or its bottom edge (one above a tray at the bottom).
    static QRect coveredArea(const QRect& from, int height, bool keepsBottomEdge);

signals:
    void windowChanged();
    void wantedHeightChanged();
    void heightChanged();

private:
    void cover();
    void uncoverOnceDrawn();
    void uncover();

    QPointer<QQuickWindow> m_window;
    qreal m_wanted = 0;
    std::unique_ptr<ScreenCurtain> m_curtain;
    QMetaObject::Connection m_drawn;
    // A window that never draws at its new height (hidden meanwhile, refused by the window manager) is uncovered
    // all the same.
    QTimer m_limit;
};

} // namespace tavrine::ui

#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickItemGrabResult>
#include <QQuickWindow>
#include <QtQml/qqmlregistration.h>

class QQuickItem;

namespace tavrine::ui {

// The height of a window that follows its content. Without a compositor the X server shows the window's
// background where it grows until the window's next frame arrives, which for new content (a screen built the
// moment it is first shown) is long enough to see: the old content over a blank band. So a shown window grows
// only once its new content is drawn: the content, laid out at the new height in `source`, is drawn offscreen
// first and becomes the window's X background, and then the window takes the height. A window that shrinks or
// is hidden takes the height at once. Bind the window's height (and its limits) to `height`.
class WindowGrowth : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickWindow* window READ window WRITE setWindow NOTIFY windowChanged)
    // The window's content at its wanted height: drawn offscreen before the window grows.
    Q_PROPERTY(QQuickItem* source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(qreal wantedHeight READ wantedHeight WRITE setWantedHeight NOTIFY wantedHeightChanged)
    Q_PROPERTY(qreal height READ height NOTIFY heightChanged)

public:
    using QObject::QObject;

    QQuickWindow* window() const { return m_window; }
    void setWindow(QQuickWindow* window);
    QQuickItem* source() const { return m_source; }
    void setSource(QQuickItem* source);
    qreal wantedHeight() const { return m_wanted; }
    void setWantedHeight(qreal height);
    qreal height() const { return m_height; }

signals:
    void windowChanged();
    void sourceChanged();
    void wantedHeightChanged();
    void heightChanged();

private:
    void follow();
    void take(qreal height);
    // Draws the source at the wanted height; false when the window cannot show such a picture.
    bool drawAhead();

    QPointer<QQuickWindow> m_window;
    QPointer<QQuickItem> m_source;
    QSharedPointer<QQuickItemGrabResult> m_drawing;
    qreal m_wanted = 0;
    qreal m_height = 0;
};

} // namespace tavrine::ui

#pragma once

#include <QObject>
#include <QRect>
#include <QVariant>

class QQuickItem;
class QWindow;

namespace tavrine {

// The web page that embeds the video site's player, as the rehearsal player sees it: it loads the page, runs
// script in it, and hears the page's messages. The real one is a web view in a process of its own
// (PlayerProcessPage, which runs a WebPlayerPage there); tests use a fake.
class RehearsalPlayerPage : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~RehearsalPlayerPage() override = default;

    // Loads the player's page (once, when the player is made).
    virtual void load() = 0;
    // Runs a script in the page; its result and errors are ignored.
    virtual void runScript(const QString& script) = 0;
    // Stops the page's messages for good, then unloads the page, so the video and its sound end.
    virtual void detach() = 0;
    // The item that shows the page; null when the page has none (a fake).
    virtual QQuickItem* view() const { return nullptr; }
    // Where a page drawn in a window of its own shows: `rect` in `window`'s coordinates. Pages that show
    // through view() ignore it.
    virtual void place(QWindow* window, const QRect& rect, bool visible) {
        Q_UNUSED(window);
        Q_UNUSED(rect);
        Q_UNUSED(visible);
    }

signals:
    // A message posted by the page, as the bridge received it (unchecked).
    void message(const QVariant& body);
    // The page's renderer ended unexpectedly.
    void crashed();
};

} // namespace tavrine

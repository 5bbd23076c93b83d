#pragma once

#include <QObject>

class QQuickWindow;

namespace tavrine::shell {

class WindowSet;

// The one way to open and close the main window ("focus"): at launch, from a second launch, when a session
// finishes, at the end of the onboarding. Main thread only.
class FocusWindowOpener : public QObject {
    Q_OBJECT
public:
    explicit FocusWindowOpener(WindowSet& windows, QObject* parent = nullptr);

    // Shows the main window, raises it and gives it the keyboard focus.
    virtual void open();
    // Hides the main window (after a session starts, before another window comes forward).
    virtual void closeFocusWindow();
    // The main window, built on first need.
    QQuickWindow* focusWindow();

signals:
    void opened();

protected:
    WindowSet& m_windows;
};

} // namespace tavrine::shell

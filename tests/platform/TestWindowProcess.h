#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace tavrine::test {

// One test window process (see TestWindow.cpp), ended when this object goes away.
class TestWindowProcess {
public:
    enum class Kind {
        widgets, // a Qt window with an accessibility tree
        plain,   // a bare Xlib window without one
        panel,   // a Qt window that stays on top and never takes the focus
    };
    // Starts the window and waits until it says it is on the screen and painted; isReady() tells whether it did.
    TestWindowProcess(const QString& title, const QStringList& lines, Kind kind);
    TestWindowProcess(const QString& title, const QStringList& lines, bool plain = false)
        : TestWindowProcess(title, lines, plain ? Kind::plain : Kind::widgets) {}
    ~TestWindowProcess();

    bool isReady() const { return m_ready; }
    qint32 pid() const;
    // Waits up to `seconds` of real time for a line the window printed ("tab Overview"). The default is generous
    // for busy machines; a wait for a line that must not come passes its own short limit.
    bool waitForLine(const QString& line, double seconds = 30.0);

private:
    std::unique_ptr<QProcess> m_process;
    QStringList m_lines;
    bool m_ready = false;
};

} // namespace tavrine::test

#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

namespace tavrine::test {

// Collects every log line written while it lives (and still passes them on to the previous handler when
// TAVRINE_TEST_LOG=1). Lines are "<category suffix>|<level>|<message>", for example
// "ModelCall|info|call=judge kind=request chars=12". Levels: "debug" (the Parts' info), "info" (default),
// "warning" (error).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    struct Line {
        QString category; // without the "com.dravolence.tavrine." prefix
        QString level;
        QString message;
    };
    QList<Line> lines() const;
    // Messages of one category (suffix, as "Focus"), in order.
    QStringList messages(const QString& category) const;
    void clear();
};

} // namespace tavrine::test

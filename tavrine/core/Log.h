#pragma once

#include <QLoggingCategory>
#include <QString>

namespace tavrine {

// Categories under "com.dravolence.tavrine". Levels follow the unified log's meaning:
// info → debug, default → info, error → warning.
Q_DECLARE_LOGGING_CATEGORY(logFocus)
Q_DECLARE_LOGGING_CATEGORY(logEvidence)
Q_DECLARE_LOGGING_CATEGORY(logModelCallCategory)
Q_DECLARE_LOGGING_CATEGORY(logNudgeSpeech)
Q_DECLARE_LOGGING_CATEGORY(logHistory)
Q_DECLARE_LOGGING_CATEGORY(logLoginItem)
Q_DECLARE_LOGGING_CATEGORY(logSession)

namespace log {

enum class Level { Info, Default, Error };

// A user-content argument: shown only when TAVRINE_LOG_PRIVATE=1, else "<private>".
QString priv(const QString& text);
// Whether private arguments are shown (read once per process).
bool showsPrivate();

// Writes one line at the given level of the category. Lines of a disabled level are not formatted by callers
// that check `enabled` first.
void write(const QLoggingCategory& category, Level level, const QString& line);
bool enabled(const QLoggingCategory& category, Level level);

inline void info(const QLoggingCategory& category, const QString& line) { write(category, Level::Info, line); }
inline void notice(const QLoggingCategory& category, const QString& line) { write(category, Level::Default, line); }
inline void error(const QLoggingCategory& category, const QString& line) { write(category, Level::Error, line); }

} // namespace log
} // namespace tavrine

#include "tavrine/core/Log.h"

namespace tavrine {

Q_LOGGING_CATEGORY(logFocus, "com.dravolence.tavrine.Focus")
Q_LOGGING_CATEGORY(logEvidence, "com.dravolence.tavrine.Evidence")
Q_LOGGING_CATEGORY(logModelCallCategory, "com.dravolence.tavrine.ModelCall")
Q_LOGGING_CATEGORY(logNudgeSpeech, "com.dravolence.tavrine.NudgeSpeech")
Q_LOGGING_CATEGORY(logHistory, "com.dravolence.tavrine.History")
Q_LOGGING_CATEGORY(logLoginItem, "com.dravolence.tavrine.LoginItem")
Q_LOGGING_CATEGORY(logSession, "com.dravolence.tavrine.session")

namespace log {

bool showsPrivate() {
    static const bool shows = qEnvironmentVariable("TAVRINE_LOG_PRIVATE") == QLatin1String("1");
    return shows;
}

QString priv(const QString& text) {
    return showsPrivate() ? text : QStringLiteral("<private>");
}

bool enabled(const QLoggingCategory& category, Level level) {
    switch (level) {
    case Level::Info:
        return category.isDebugEnabled();
    case Level::Default:
        return category.isInfoEnabled();
    case Level::Error:
        return category.isWarningEnabled();
    }
    return false;
}

void write(const QLoggingCategory& category, Level level, const QString& line) {
    switch (level) {
    case Level::Info:
        qCDebug(category).noquote() << line;
        break;
    case Level::Default:
        qCInfo(category).noquote() << line;
        break;
    case Level::Error:
        qCWarning(category).noquote() << line;
        break;
    }
}

} // namespace log
} // namespace tavrine

#pragma once

#include "fakes/FakeActivityObserver.h"
#include "fakes/FakeClassifier.h"
#include "fakes/FakeWorkspaceEvents.h"
#include "support/LogCapture.h"
#include "tavrine/core/Error.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/session/FocusSession.h"

#include <QStringList>
#include <memory>
#include <ostream>

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tavrine {

// Readable failures: "unreadable(…)" instead of the bytes of the value.
inline void PrintTo(const MonitoringState& state, std::ostream* out) {
    *out << state.caseName().toStdString();
    if (!state.text.isEmpty())
        *out << "(" << state.text.toStdString() << ")";
}

namespace test {

// A failure of the judge: its summary code is "test.Judge code=7".
class JudgeError : public Error {
public:
    QString caseName() const override { return QStringLiteral("fellOver"); }
    QString domain() const override { return QStringLiteral("test.Judge"); }
    long code() const override { return 7; }
    QString description() const override { return QStringLiteral("The judge fell over"); }
};

// A window whose capture the judge may see: a screenshot, its fingerprint and some words.
ActivityEvidence usableEvidence(const QString& bundle = QStringLiteral("org.example.Editor"),
                                const QString& title = QStringLiteral("Quarterly report"),
                                const QString& text = QStringLiteral("Revenue grew in the third quarter"));

// What else a harness's session is built with; nothing by default.
struct SessionServices {
    std::shared_ptr<NudgeWriting> nudgeWriter;
    std::shared_ptr<RecapWriting> recapWriter;
    std::shared_ptr<HistoryIntentWriting> intentWriter;
    std::shared_ptr<NudgeSpeaking> speaker;
    std::shared_ptr<SessionHistory> history;
    std::optional<FocusThiefList> focusThieves;
};

// A session on virtual time with a fake observer, classifier and workspace. The observer shows a usable
// editor window and every judgment says relevant with P(yes) 0.9 unless the test says otherwise; a capture
// takes 0.5 s and a judgment 1 s.
struct SessionHarness {
    explicit SessionHarness(bool demo = false);
    explicit SessionHarness(SessionServices services, bool demo = false);
    ~SessionHarness();

    // Starts a session at the clock's current time.
    void start(int minutes = 30, const QString& intention = QStringLiteral("Write the quarterly report"),
               bool focusMode = false);
    void advance(double seconds) { clock.advance(seconds); }
    // Every judgment from now on gives this verdict.
    void judge(ActivityRelevance label, std::optional<double> confidence = 0.9, const QString& activity = {});

    QStringList focusLines() const { return logs.messages(QStringLiteral("Focus")); }
    // Focus lines that contain the text.
    int linesWith(const QString& text) const;
    // The check identifiers of the Focus lines that contain the text, in order.
    QStringList checksWith(const QString& text) const;
    // The first Focus line that contains the text, from its check identifier on ("" when none).
    QString lineWith(const QString& text) const;

    ManualClock clock{1000.0};
    MemoryUserDefaults defaults;
    test::FakeWorkspaceEvents events;
    std::shared_ptr<FakeActivityObserver> observer = std::make_shared<FakeActivityObserver>(clock);
    std::shared_ptr<FakeClassifier> classifier = std::make_shared<FakeClassifier>(clock);
    LogCapture logs;
    std::unique_ptr<FocusSession> session;
};

} // namespace test
} // namespace tavrine

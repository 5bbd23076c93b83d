#include "session/SessionHarness.h"

#include <gtest/gtest.h>

namespace tavrine::test {

ActivityEvidence usableEvidence(const QString& bundle, const QString& title, const QString& text) {
    ActivityEvidence evidence;
    evidence.app = bundle.section(QLatin1Char('.'), -1);
    evidence.bundle = bundle;
    evidence.pid = 4242;
    evidence.windowID = 77;
    evidence.title = title;
    evidence.text = text;
    evidence.source = QStringLiteral("Window capture");
    evidence.capturePath = QStringLiteral("window+ocr");
    evidence.contentFrame = QRectF(0, 0, 800.7, 600.2);
    evidence.imageFingerprint = QStringLiteral("0123456789abcdef");
    evidence.imagePNG = QByteArray("png");
    return evidence;
}

SessionHarness::SessionHarness(bool demo) : SessionHarness(SessionServices(), demo) {}

SessionHarness::SessionHarness(SessionServices services, bool demo) {
    observer->setEvidence(usableEvidence());
    FocusSessionOptions options;
    options.demo = demo;
    options.nudgeWriter = std::move(services.nudgeWriter);
    options.recapWriter = std::move(services.recapWriter);
    options.intentWriter = std::move(services.intentWriter);
    options.speaker = std::move(services.speaker);
    options.history = std::move(services.history);
    options.focusThieves = std::move(services.focusThieves);
    options.observer = observer;
    options.classifier = classifier;
    options.clock = &clock;
    options.defaults = &defaults;
    options.workspaceEvents = &events;
    session = std::make_unique<FocusSession>(options);
}

SessionHarness::~SessionHarness() {
    session.reset();
    ManualClock::pump();
}

void SessionHarness::start(int minutes, const QString& intention, bool focusMode) {
    session->setMinutes(minutes);
    session->setIntention(intention);
    session->start(focusMode);
}

void SessionHarness::judge(ActivityRelevance label, std::optional<double> confidence, const QString& activity) {
    FakeClassifier::Verdict verdict;
    verdict.label = label;
    verdict.confidence = confidence;
    verdict.activity = activity;
    classifier->setVerdict(verdict);
}

int SessionHarness::linesWith(const QString& text) const {
    int count = 0;
    for (const QString& line : focusLines())
        count += line.contains(text) ? 1 : 0;
    return count;
}

QStringList SessionHarness::checksWith(const QString& text) const {
    QStringList checks;
    for (const QString& line : focusLines()) {
        const qsizetype at = line.indexOf(QStringLiteral(" check="));
        if (line.contains(text) && at >= 0)
            checks << line.mid(at + 7, 8);
    }
    return checks;
}

QString SessionHarness::lineWith(const QString& text) const {
    for (const QString& line : focusLines()) {
        if (line.contains(text)) {
            const qsizetype at = line.indexOf(QStringLiteral(" check="));
            return at >= 0 ? line.mid(at + 16) : line.mid(line.indexOf(QLatin1Char(' ')) + 1);
        }
    }
    return {};
}

} // namespace tavrine::test

namespace {
// The engine's log lines carry their messages as private text; these tests read them.
class PrivateLogEnvironment : public ::testing::Environment {
public:
    void SetUp() override { qputenv("TAVRINE_LOG_PRIVATE", "1"); }
};
[[maybe_unused]] auto* const privateLogs = ::testing::AddGlobalTestEnvironment(new PrivateLogEnvironment);
} // namespace

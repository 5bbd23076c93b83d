#pragma once

#include <memory>

namespace tavrine {

class ActivityObserving;
class ActivityClassifying;
class NudgeWriting;
class RecapWriting;
class HistoryIntentWriting;

// Builds the services a focus session uses when it was not handed them. The shell gives the session a factory
// that knows the maker's API (its base address and bearer-token source); a test gives a factory of fakes.
//
// A session asks once for each service it lacks, in this order: observer, classifier, nudge writer, recap
// writer, history-intent writer (in demo mode it asks for no writer at all). A factory serves one session: the
// classifier and the writers it builds share one API client, made on first need with 60-second time-outs.
//
// This base builds nothing: every answer is null, and the session then runs without that service (no observer:
// nothing can be read; no classifier: nothing is judged; no writer: fallback texts).
class SessionServicesFactory {
public:
    virtual ~SessionServicesFactory() = default;

    virtual std::shared_ptr<ActivityObserving> makeObserver() { return nullptr; }
    // The judge classifier; with a job expander on the same client unless `withJobExpander` is false (demo).
    virtual std::shared_ptr<ActivityClassifying> makeClassifier(bool withJobExpander) {
        (void)withJobExpander;
        return nullptr;
    }
    virtual std::shared_ptr<NudgeWriting> makeNudgeWriter() { return nullptr; }
    // A recap phrase writer with the prompt version "recap-v2".
    virtual std::shared_ptr<RecapWriting> makeRecapWriter() { return nullptr; }
    // A history-intent writer with the prompt version "history-v1".
    virtual std::shared_ptr<HistoryIntentWriting> makeIntentWriter() { return nullptr; }
};

} // namespace tavrine

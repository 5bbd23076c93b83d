#include "tavrine/shell/DesktopSessionServices.h"

#include "tavrine/capture/ActivityObserver.h"
#include "tavrine/services/HistoryIntentWriter.h"
#include "tavrine/services/JevClient.h"
#include "tavrine/services/JevRelevanceClassifier.h"
#include "tavrine/services/LocalJobExpander.h"
#include "tavrine/services/LocalNudgeWriter.h"
#include "tavrine/services/RecapPhraseWriter.h"
#include "tavrine/session/FocusThiefList.h"

namespace tavrine::shell {

namespace {
constexpr double callTimeout = 60.0;
}

DesktopSessionServices::DesktopSessionServices(TavrineAPIClient::BearerToken bearerToken,
                                               TavrineAPIClient::RefreshBearerToken refreshBearerToken,
                                               capture::CaptureServices capture)
    : m_bearerToken(std::move(bearerToken)), m_refreshBearerToken(std::move(refreshBearerToken)),
      m_capture(std::move(capture)) {
    // Only browsers are walked again while their page tree appears; capture cannot read the list itself.
    if (m_capture.browsers.isEmpty())
        m_capture.browsers = FocusThiefList::builtIn().browsers;
}

const std::shared_ptr<TavrineAPIClient>& DesktopSessionServices::api() {
    if (!m_api) {
        TavrineAPIClient::SessionConfiguration session;
        session.resourceTimeout = callTimeout;
        m_api = TavrineAPIClient::create(m_bearerToken, m_refreshBearerToken, {}, session);
    }
    return m_api;
}

std::shared_ptr<ActivityObserving> DesktopSessionServices::makeObserver() {
    return std::make_shared<ActivityObserver>(m_capture);
}

std::shared_ptr<ActivityClassifying> DesktopSessionServices::makeClassifier(bool withJobExpander) {
    auto judge = std::make_shared<JevClient>(api());
    std::shared_ptr<JobExpanding> expander;
    if (withJobExpander)
        expander = std::make_shared<LocalJobExpander>(api());
    return std::make_shared<JevRelevanceClassifier>(judge, expander);
}

std::shared_ptr<NudgeWriting> DesktopSessionServices::makeNudgeWriter() {
    return std::make_shared<LocalNudgeWriter>(api());
}

std::shared_ptr<RecapWriting> DesktopSessionServices::makeRecapWriter() {
    return std::make_shared<RecapPhraseWriter>(api());
}

std::shared_ptr<HistoryIntentWriting> DesktopSessionServices::makeIntentWriter() {
    return std::make_shared<HistoryIntentWriter>(api());
}

} // namespace tavrine::shell

#pragma once

#include "tavrine/capture/CaptureServices.h"
#include "tavrine/services/TavrineAPIClient.h"
#include "tavrine/session/SessionServicesFactory.h"

namespace tavrine::shell {

// The focus session's services on this desktop: the activity observer over X11 and AT-SPI, and the judge, job
// expander and the three writers on one API client with 60-second time-outs, made on first need.
class DesktopSessionServices final : public SessionServicesFactory {
public:
    DesktopSessionServices(TavrineAPIClient::BearerToken bearerToken,
                           TavrineAPIClient::RefreshBearerToken refreshBearerToken,
                           capture::CaptureServices capture = capture::CaptureServices::desktop());

    // The desktop services the observer reads through; the workspace also serves the workspace events.
    const capture::CaptureServices& capture() const { return m_capture; }

    std::shared_ptr<ActivityObserving> makeObserver() override;
    std::shared_ptr<ActivityClassifying> makeClassifier(bool withJobExpander) override;
    std::shared_ptr<NudgeWriting> makeNudgeWriter() override;
    std::shared_ptr<RecapWriting> makeRecapWriter() override;
    std::shared_ptr<HistoryIntentWriting> makeIntentWriter() override;

private:
    const std::shared_ptr<TavrineAPIClient>& api();

    TavrineAPIClient::BearerToken m_bearerToken;
    TavrineAPIClient::RefreshBearerToken m_refreshBearerToken;
    capture::CaptureServices m_capture;
    std::shared_ptr<TavrineAPIClient> m_api;
};

} // namespace tavrine::shell

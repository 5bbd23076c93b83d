#include "tavrine/speech/SpeechSetup.h"

#include "tavrine/core/Log.h"
#include "tavrine/platform/AudioDucking.h"
#include "tavrine/services/TavrineAPI.h"
#include "tavrine/speech/LiveNudgeSpeechFetcher.h"
#include "tavrine/speech/NudgeStreamPlayer.h"
#include "tavrine/speech/ScreenReaderFlag.h"
#include "tavrine/speech/SoundModule.h"
#include "tavrine/speech/SpeakNudgesSetting.h"
#include "tavrine/speech/SpeechAudioOutput.h"
#include "tavrine/speech/SpeechVendor.h"

#include <QCoreApplication>
#include <QPointer>

namespace tavrine::speechsetup {

namespace {

// The vendor as configured at start; the reason speech is off is logged once.
const SpeechVendor& vendor() {
    static const SpeechVendor configured = [] {
        SpeechVendor read = SpeechVendor::fromEnvironment();
        if (!read.isUsable())
            log::notice(logNudgeSpeech(), QStringLiteral("Nudge speech is off: %1").arg(read.problem));
        return read;
    }();
    return configured;
}

} // namespace

StandardClosures standardClosures(const UserDefaults& defaults) {
    // One watcher for the process, living with the application object.
    static QPointer<ScreenReaderFlag> screenReader;
    if (!screenReader)
        screenReader = new ScreenReaderFlag(QCoreApplication::instance());
    const QPointer<ScreenReaderFlag> flag = screenReader;
    return StandardClosures{
        [&defaults] { return readSpeakNudges(defaults); },
        [flag] { return flag && flag->isEnabled(); },
        [] { return vendor().isUsable() ? TavrineAPI::url(QStringLiteral("speech/temporary-key")) : QUrl(); },
    };
}

SonioxNudgeSpeaker::MakePlayer playerFactory() {
    // The sound module is loaded by the first nudge spoken, if the first window has not brought it up yet. The
    // ducker is then kept as long as the factory, so that a restore outlives the player that asked for it.
    auto ducking = std::make_shared<std::shared_ptr<AudioDucking>>();
    return [ducking]() -> std::shared_ptr<NudgeStreamPlaying> {
        std::unique_ptr<SpeechAudioOutput> output = SoundModule::speechOutput();
        if (!*ducking)
            *ducking = SoundModule::sharedDucking();
        return std::make_shared<NudgeStreamPlayer>(std::move(output), *ducking);
    };
}

std::shared_ptr<SonioxNudgeSpeaker> makeShellSpeaker(const UserDefaults& defaults,
                                                     SonioxNudgeSpeaker::BearerToken bearerToken,
                                                     SonioxNudgeSpeaker::RefreshBearerToken refreshBearerToken) {
    const StandardClosures standard = standardClosures(defaults);
    SonioxNudgeSpeaker::Closures closures{
        standard.speechEnabled, standard.voiceOverEnabled,     standard.temporaryKeyURL,
        std::move(bearerToken), std::move(refreshBearerToken), [] { return QDateTime::currentDateTimeUtc(); }};
    const SpeechVendor& configured = vendor();
    auto fetcher = std::make_shared<LiveNudgeSpeechFetcher>(configured.socketURL, configured.voice);
    return SonioxNudgeSpeaker::create(std::move(closures), std::move(fetcher), playerFactory());
}

} // namespace tavrine::speechsetup

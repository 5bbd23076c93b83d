#include "tavrine/onboarding/OnboardingRehearsal.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Error.h"
#include "tavrine/model/NudgeSpeaking.h"
#include "tavrine/session/FocusSession.h"

#include <QMetaObject>
#include <algorithm>

namespace tavrine::onboarding {

const QString OnboardingRehearsal::intention = QStringLiteral("Design the landing page for my app");
const QString OnboardingRehearsal::nudgeText =
    QStringLiteral("You're watching a stranger eat noodles in Tokyo while your landing page sits there blank. "
                   "Nobody's designing it for you. Close the video and go build it.");

namespace {
// A deadline counts as reached this close to it, so that ticks cut short to land on it never need one more.
constexpr double deadlineSlack = 1e-9;
} // namespace

OnboardingRehearsal::OnboardingRehearsal(Clock& clock, SpeakerFactory speakers, Beat beat, QList<Entry> entered,
                                         QObject* parent)
    : QObject(parent), m_clock(clock), m_speakers(std::move(speakers)), m_beat(beat), m_entered(std::move(entered)) {
    if (beat == Beat::Drifting)
        m_driftStarted = m_clock.date();
}

OnboardingRehearsal::~OnboardingRehearsal() {
    *m_alive = false;
    if (m_script)
        m_script->cancel();
}

ActivityEvidence OnboardingRehearsal::scriptedEvidence() {
    ActivityEvidence evidence;
    evidence.app = QStringLiteral("Rehearsal");
    evidence.bundle = QStringLiteral("rehearsal");
    evidence.pid = 0;
    evidence.source = QStringLiteral("Rehearsal");
    evidence.capturePath = QStringLiteral("accessibility");
    return evidence;
}

std::optional<OnboardingRehearsal::Beat> OnboardingRehearsal::beatFromRaw(int raw) {
    if (raw < 0 || raw > int(Beat::Finished))
        return std::nullopt;
    return Beat(raw);
}

bool OnboardingRehearsal::takesNext(Beat beat) {
    return beat == Beat::Working || beat == Beat::Returned || beat == Beat::Researching || beat == Beat::Finished;
}

bool OnboardingRehearsal::start(FocusSession* session, std::function<void()> onEnd) {
    if (m_script || !session)
        return false;
    // A speaker plays once: each start takes a new one, made ahead or now; a refused start keeps it for the next.
    prepareSpeaker();
    if (!session->startRehearsal(intention, minutes, *m_preparedSpeaker))
        return false;
    m_preparedSpeaker.reset();
    m_session = session;
    m_onEnd = std::move(onEnd);
    m_entered.clear();
    m_holding.reset();
    session->setOnRehearsalNudgeClosed([self = QPointer<OnboardingRehearsal>(this)] {
        if (self)
            self->m_answered = true;
    });
    setBeat(Beat::Working);
    m_script.emplace();
    setRunning(true);
    // The first beat waits for the next turn of the loop: whoever started the rehearsal sets up the stage first.
    QMetaObject::invokeMethod(
        this,
        [this, token = m_script->token()] {
            if (!token.isCancelled())
                runScript(token, m_alive);
        },
        Qt::QueuedConnection);
    return true;
}

void OnboardingRehearsal::prepareSpeaker() {
    if (!m_preparedSpeaker)
        m_preparedSpeaker = m_speakers ? m_speakers() : nullptr;
}

QCoro::Task<void> OnboardingRehearsal::runScript(CancellationToken token, std::shared_ptr<bool> alive) {
    try {
        for (;;) {
            if (!*alive || token.isCancelled())
                co_return;
            if (!step())
                break;
            if (token.isCancelled())
                co_return;
            // Land on the deadline rather than past it.
            const double wait = std::clamp(m_deadline - continuousNow(), 0.0, tick);
            co_await m_clock.sleep(wait, token);
        }
    } catch (const CancelledError&) {
        co_return;
    } catch (const std::exception& error) {
        qWarning("Rehearsal script failed: %s", error.what());
        co_return;
    }
    if (*alive && !token.isCancelled())
        finish();
}

bool OnboardingRehearsal::step() {
    if (!m_holding) {
        enter(Beat::Working);
        return true;
    }
    const bool due = continuousNow() >= m_deadline - deadlineSlack;
    if (!due && !(m_untilAnswered && m_answered))
        return true;
    if (*m_holding == Beat::Finished)
        return false;
    enter(Beat(int(*m_holding) + 1));
    return true;
}

void OnboardingRehearsal::enter(Beat beat) {
    if (beat == Beat::Returned && rehearsing())
        m_session->dismissNudge();
    m_answered = false;
    m_entered.append(Entry{beat, continuousNow(), m_clock.date()});
    setBeat(beat);
    if (beat == Beat::Drifting)
        setDriftStarted(m_clock.date());
    if (rehearsing()) {
        const auto tint = [this](MenuBarSessionBackground background) {
            if (m_session->menuBarSessionBackground() != background)
                m_session->setRehearsalTint(background);
        };
        switch (beat) {
        case Beat::Working:
        case Beat::Returned:
            tint(MenuBarSessionBackground::Relevant);
            break;
        case Beat::Drifting:
            tint(MenuBarSessionBackground::Unrelated);
            break;
        case Beat::Nudged:
            m_session->setRehearsalNudge(scriptedEvidence(), nudgeText);
            if (rehearsing())
                m_session->openNudge(std::nullopt, false);
            break;
        default:
            break;
        }
    }
    if (m_onBeat)
        m_onBeat(beat);
    m_holding = beat;
    m_untilAnswered = beat != Beat::Drifting;
    m_deadline = continuousNow() + (m_untilAnswered ? answerHold : driftHold) * m_pace;
}

void OnboardingRehearsal::finish() {
    if (m_script) {
        m_script->cancel();
        m_script.reset();
    }
    m_holding.reset();
    if (FocusSession* session = m_session) {
        // Cleared first: ending the rehearsal closes its nudge, and that close answers nothing any more.
        session->setOnRehearsalNudgeClosed({});
        session->endRehearsal();
    }
    m_session.clear();
    setRunning(false);
    auto onEnd = std::exchange(m_onEnd, {});
    if (onEnd)
        onEnd();
}

void OnboardingRehearsal::skip() {
    if (!m_script)
        return;
    m_script->cancel();
    finish();
}

void OnboardingRehearsal::answerNext() {
    if (takesNext(m_beat))
        m_answered = true;
}

void OnboardingRehearsal::answerVideoActivated() {
    if (m_beat == Beat::Tempted)
        m_answered = true;
}

void OnboardingRehearsal::setBeat(Beat beat) {
    if (m_beat == beat)
        return;
    m_beat = beat;
    emit beatChanged();
}

void OnboardingRehearsal::setDriftStarted(std::optional<QDateTime> date) {
    if (m_driftStarted == date)
        return;
    m_driftStarted = std::move(date);
    emit driftStartedChanged();
}

void OnboardingRehearsal::setRunning(bool running) {
    if (m_running == running)
        return;
    m_running = running;
    emit runningChanged();
}

double OnboardingRehearsal::continuousNow() const {
    return m_clock.now() + m_clock.asleep();
}

bool OnboardingRehearsal::rehearsing() const {
    return m_session && m_session->rehearsalIntention().has_value();
}

} // namespace tavrine::onboarding

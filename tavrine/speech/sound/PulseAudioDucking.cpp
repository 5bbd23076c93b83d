#include "tavrine/speech/sound/PulseAudioDucking.h"

#include <QCoreApplication>
#include <QHash>
#include <QLoggingCategory>
#include <pulse/pulseaudio.h>
#include <unistd.h>

namespace tavrine {

namespace {

Q_LOGGING_CATEGORY(logDucking, "com.dravolence.tavrine.AudioDucking")

constexpr double duckedFactor = 0.25;
constexpr pa_usec_t lowerUsec = 150000;
constexpr pa_usec_t restoreUsec = 350000;
constexpr pa_usec_t stepUsec = 25000;

// The ducker on libpulse's threaded main loop. Every field below the loop is touched only with the loop locked:
// by the main thread in the public calls, or by the loop's own thread in the callbacks.
class PulseAudioDucking final : public AudioDucking {
public:
    PulseAudioDucking() {
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop || pa_threaded_mainloop_start(m_loop) < 0) {
            qCWarning(logDucking) << "Other audio cannot be lowered: the sound server's main loop did not start";
            return;
        }
    }

    ~PulseAudioDucking() override {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        if (m_context) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
            m_context = nullptr;
        }
        pa_threaded_mainloop_unlock(m_loop);
        pa_threaded_mainloop_stop(m_loop);
        pa_threaded_mainloop_free(m_loop);
    }

    bool duck() override {
        if (!m_loop)
            return false;
        pa_threaded_mainloop_lock(m_loop);
        const bool ready = connect();
        if (ready) {
            ++m_ducks;
            if (m_ducks == 1) {
                if (m_streams.isEmpty())
                    collectStreams();
                else
                    startRamp(duckedFactor, lowerUsec); // ducked again during the last restore
            }
        }
        pa_threaded_mainloop_unlock(m_loop);
        return ready;
    }

    void restore() override {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        if (m_ducks > 0 && --m_ducks == 0)
            startRamp(1.0, restoreUsec);
        pa_threaded_mainloop_unlock(m_loop);
    }

    void restoreAll() override {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        m_ducks = 0;
        m_collecting = false;
        stopRamp();
        if (m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY) {
            // At once, and waited for: the process is about to end.
            QList<pa_operation*> operations;
            for (auto it = m_streams.cbegin(); it != m_streams.cend(); ++it) {
                if (pa_operation* op = pa_context_set_sink_input_volume(m_context, it.key(), &it->original,
                                                                        &PulseAudioDucking::onDone, this))
                    operations.append(op);
            }
            for (pa_operation* op : operations) {
                while (pa_operation_get_state(op) == PA_OPERATION_RUNNING &&
                       pa_context_get_state(m_context) == PA_CONTEXT_READY)
                    pa_threaded_mainloop_wait(m_loop);
                pa_operation_unref(op);
            }
        }
        m_streams.clear();
        m_factor = 1.0;
        m_finishing = false;
        m_reads = 0;
        pa_threaded_mainloop_unlock(m_loop);
    }

private:
    struct Stream {
        pa_cvolume original;
        pa_cvolume lastSet;
        // The one set before: a read sent before our last set went out may still report it.
        pa_cvolume previousSet;
    };

    // Connects once; a lost server is tried again on the next duck. Locked.
    bool connect() {
        if (m_context) {
            const pa_context_state_t state = pa_context_get_state(m_context);
            if (state == PA_CONTEXT_READY)
                return true;
            if (PA_CONTEXT_IS_GOOD(state))
                return false;
            pa_context_unref(m_context);
            m_context = nullptr;
            m_streams.clear();
            m_ducks = 0;
        }
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Tavrine");
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "com.dravolence.tavrine");
        m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Tavrine", properties);
        pa_proplist_free(properties);
        if (!m_context)
            return false;
        pa_context_set_state_callback(m_context, &PulseAudioDucking::onState, this);
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            qCWarning(logDucking) << "Other audio cannot be lowered: no sound server";
            return false;
        }
        // A local server answers within milliseconds; the wait ends on any state change.
        while (true) {
            const pa_context_state_t state = pa_context_get_state(m_context);
            if (state == PA_CONTEXT_READY)
                return true;
            if (!PA_CONTEXT_IS_GOOD(state)) {
                qCWarning(logDucking) << "Other audio cannot be lowered:" << pa_strerror(pa_context_errno(m_context));
                return false;
            }
            pa_threaded_mainloop_wait(m_loop);
        }
    }

    static void onDone(pa_context*, int, void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseAudioDucking*>(self)->m_loop, 0);
    }

    static void onState(pa_context*, void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseAudioDucking*>(self)->m_loop, 0);
    }

    // The default sink's streams of other processes, then the ramp down. Locked.
    void collectStreams() {
        m_collecting = true;
        pa_operation_unref(pa_context_get_server_info(m_context, &PulseAudioDucking::onServer, this));
    }

    static void onServer(pa_context* context, const pa_server_info* info, void* data) {
        auto* self = static_cast<PulseAudioDucking*>(data);
        if (!info || !info->default_sink_name || !self->m_collecting)
            return;
        pa_operation_unref(pa_context_get_sink_info_by_name(context, info->default_sink_name, &onSink, data));
    }

    static void onSink(pa_context* context, const pa_sink_info* info, int eol, void* data) {
        auto* self = static_cast<PulseAudioDucking*>(data);
        if (eol || !info || !self->m_collecting)
            return;
        self->m_sink = info->index;
        pa_operation_unref(pa_context_get_sink_input_info_list(context, &onInput, data));
    }

    static void onInput(pa_context*, const pa_sink_input_info* info, int eol, void* data) {
        auto* self = static_cast<PulseAudioDucking*>(data);
        if (!self->m_collecting)
            return;
        if (eol) {
            self->m_collecting = false;
            if (self->m_ducks > 0)
                self->startRamp(duckedFactor, lowerUsec);
            return;
        }
        if (!info || info->sink != self->m_sink || !info->has_volume)
            return;
        // Never our own voice.
        const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
        if (pid && QByteArray(pid).toLongLong() == static_cast<qint64>(getpid()))
            return;
        self->m_streams.insert(info->index, Stream{info->volume, info->volume, info->volume});
    }

    void startRamp(double target, pa_usec_t length) {
        stopRamp();
        m_finishing = false;
        m_rampFrom = m_factor;
        m_rampTo = target;
        m_rampStart = pa_rtclock_now();
        m_rampLength = length;
        step();
    }

    void stopRamp() {
        if (m_timer) {
            pa_threaded_mainloop_get_api(m_loop)->time_free(m_timer);
            m_timer = nullptr;
        }
    }

    static void onTimer(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* data) {
        auto* self = static_cast<PulseAudioDucking*>(data);
        api->time_free(event);
        self->m_timer = nullptr;
        self->step();
    }

    void step() {
        const pa_usec_t elapsed = pa_rtclock_now() - m_rampStart;
        const bool last = elapsed >= m_rampLength;
        const double progress = last ? 1.0 : static_cast<double>(elapsed) / static_cast<double>(m_rampLength);
        m_factor = m_rampFrom + (m_rampTo - m_rampFrom) * progress;
        // Each stream is read before it is set: one that someone else changed meanwhile is left alone.
        for (auto it = m_streams.cbegin(); it != m_streams.cend(); ++it) {
            if (pa_operation* op = pa_context_get_sink_input_info(m_context, it.key(), &onStepInput, this)) {
                ++m_reads;
                pa_operation_unref(op);
            }
        }
        if (last) {
            if (m_rampTo >= 1.0)
                m_finishing = true;
            forgetWhenRestored();
            return;
        }
        m_timer = pa_context_rttime_new(m_context, pa_rtclock_now() + stepUsec, &onTimer, this);
    }

    static void onStepInput(pa_context* context, const pa_sink_input_info* info, int eol, void* data) {
        auto* self = static_cast<PulseAudioDucking*>(data);
        if (eol) {
            --self->m_reads;
            self->forgetWhenRestored();
            return;
        }
        if (!info)
            return;
        auto it = self->m_streams.find(info->index);
        if (it == self->m_streams.end())
            return;
        if (!pa_cvolume_equal(&info->volume, &it->lastSet) && !pa_cvolume_equal(&info->volume, &it->previousSet)) {
            self->m_streams.erase(it); // changed by someone else
            return;
        }
        pa_cvolume volume = it->original;
        if (self->m_factor < 1.0) {
            for (uint8_t c = 0; c < volume.channels; ++c)
                volume.values[c] = static_cast<pa_volume_t>(static_cast<double>(volume.values[c]) * self->m_factor);
        }
        it->previousSet = it->lastSet;
        it->lastSet = volume;
        pa_operation_unref(pa_context_set_sink_input_volume(context, info->index, &volume, nullptr, nullptr));
    }

    // After the last step of a restore, the streams are the caller's again.
    void forgetWhenRestored() {
        if (m_finishing && m_ducks == 0 && !m_timer && m_reads == 0) {
            m_finishing = false;
            m_streams.clear();
        }
    }

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    int m_ducks = 0;
    int m_reads = 0;
    bool m_collecting = false;
    bool m_finishing = false;
    uint32_t m_sink = PA_INVALID_INDEX;
    QHash<uint32_t, Stream> m_streams;
    double m_factor = 1.0;
    double m_rampFrom = 1.0;
    double m_rampTo = 1.0;
    pa_usec_t m_rampStart = 0;
    pa_usec_t m_rampLength = 0;
    pa_time_event* m_timer = nullptr;
};

} // namespace

std::shared_ptr<AudioDucking> makePulseAudioDucking() {
    auto ducking = std::make_shared<PulseAudioDucking>();
    if (auto* app = QCoreApplication::instance()) {
        // Other audio never stays lowered after Tavrine is gone: PulseAudio would keep that volume for the
        // application's next streams.
        QObject::connect(app, &QCoreApplication::aboutToQuit, app, [weak = std::weak_ptr<AudioDucking>(ducking)] {
            if (auto living = weak.lock())
                living->restoreAll();
        });
    }
    return ducking;
}

} // namespace tavrine

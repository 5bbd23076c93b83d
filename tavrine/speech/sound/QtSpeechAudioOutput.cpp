#include "tavrine/speech/sound/QtSpeechAudioOutput.h"

#include "tavrine/core/Log.h"
#include "tavrine/speech/NudgeSpeechError.h"
#include "tavrine/speech/SpeechChunk.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <cstring>

namespace tavrine {

SpeechQueueDevice::SpeechQueueDevice(QObject* parent) : QIODevice(parent) {}

void SpeechQueueDevice::append(const QByteArray& pcm) {
    // Bytes already handed out are dropped before the queue grows.
    if (m_offset > 0 && m_offset >= m_queue.size() / 2) {
        m_queue.remove(0, m_offset);
        m_offset = 0;
    }
    m_queue += pcm;
    emit readyRead();
}

void SpeechQueueDevice::clear() {
    m_queue.clear();
    m_offset = 0;
}

qint64 SpeechQueueDevice::bytesAvailable() const {
    // Silence is always there.
    return std::max<qint64>(queuedBytes(), 1 << 20) + QIODevice::bytesAvailable();
}

qint64 SpeechQueueDevice::readData(char* data, qint64 maxSize) {
    const qint64 size = maxSize - maxSize % 2;
    const qint64 fromQueue = std::min(size, queuedBytes());
    if (fromQueue > 0) {
        std::memcpy(data, m_queue.constData() + m_offset, static_cast<size_t>(fromQueue));
        m_offset += fromQueue;
    }
    if (size > fromQueue)
        std::memset(data + fromQueue, 0, static_cast<size_t>(size - fromQueue));
    m_handed += size;
    return size;
}

qint64 SpeechQueueDevice::writeData(const char*, qint64) {
    return -1;
}

QtSpeechAudioOutput::QtSpeechAudioOutput(QObject* parent) : QObject(parent) {
    m_progress.setInterval(20);
    connect(&m_progress, &QTimer::timeout, this, [this] {
        if (onProgress)
            onProgress();
    });
}

QtSpeechAudioOutput::~QtSpeechAudioOutput() {
    close();
}

void QtSpeechAudioOutput::open() {
    close();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        log::error(logNudgeSpeech(), QStringLiteral("Nudge speech is silent: there is no audio output device"));
        throw NudgeSpeechError(NudgeSpeechError::Kind::unplayable);
    }
    QAudioFormat format;
    format.setSampleRate(SpeechChunk::sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    m_sink = new QAudioSink(device, format, this);
    m_sink->setBufferSize(SpeechChunk::sampleRate * 2 * bufferMilliseconds / 1000);
    m_queue = new SpeechQueueDevice(this);
    m_queue->open(QIODevice::ReadOnly);
    m_sink->start(m_queue);
    if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
        log::error(logNudgeSpeech(), QStringLiteral("Nudge speech is silent: the audio output did not start (%1)")
                                         .arg(m_sink->error() == QAudio::OpenError ? QStringLiteral("no sound server")
                                                                                   : QStringLiteral("device error")));
        close();
        throw NudgeSpeechError(NudgeSpeechError::Kind::unplayable);
    }
    connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        if (state == QAudio::StoppedState && m_sink && m_sink->error() != QAudio::NoError) {
            log::error(logNudgeSpeech(), QStringLiteral("Nudge speech output stopped: the audio device went away"));
            if (onFailure)
                onFailure();
        }
    });
    m_progress.start();
}

void QtSpeechAudioOutput::close() {
    m_progress.stop();
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink->deleteLater();
        m_sink = nullptr;
    }
    if (m_queue) {
        m_queue->deleteLater();
        m_queue = nullptr;
    }
}

void QtSpeechAudioOutput::write(const QByteArray& pcm) {
    if (m_queue)
        m_queue->append(pcm);
}

qint64 QtSpeechAudioOutput::handedSamples() const {
    return m_queue ? m_queue->handedBytes() / 2 : 0;
}

qint64 QtSpeechAudioOutput::heardSamples() const {
    if (!m_sink)
        return 0;
    const qint64 heard = m_sink->processedUSecs() * SpeechChunk::sampleRate / 1000000;
    return std::clamp<qint64>(heard, 0, handedSamples());
}

} // namespace tavrine

#pragma once

#include "tavrine/speech/SpeechAudioOutput.h"

#include <QIODevice>
#include <QObject>
#include <QTimer>

class QAudioSink;

namespace tavrine {

// The queue the sink pulls from: samples as written, then silence, so the sink never starves and its clock runs
// on. Counts every byte it hands out.
class SpeechQueueDevice final : public QIODevice {
    Q_OBJECT
public:
    explicit SpeechQueueDevice(QObject* parent = nullptr);
    void append(const QByteArray& pcm);
    void clear();
    qint64 handedBytes() const { return m_handed; }
    qint64 queuedBytes() const { return m_queue.size() - m_offset; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    QByteArray m_queue;
    qint64 m_offset = 0;
    qint64 m_handed = 0;
};

// The default output device through QAudioSink (PulseAudio, or PipeWire's PulseAudio service): 16-bit mono at
// 24 000 Hz, pulling from the queue. What was heard is the sink's processed time, which the sound server reports
// as the time played out (the samples pulled but not yet heard are the output's latency).
class QtSpeechAudioOutput final : public QObject, public SpeechAudioOutput {
    Q_OBJECT
public:
    // How much the sink holds ahead of what is heard, in milliseconds.
    static constexpr int bufferMilliseconds = 100;

    explicit QtSpeechAudioOutput(QObject* parent = nullptr);
    ~QtSpeechAudioOutput() override;

    void open() override;
    void close() override;
    void write(const QByteArray& pcm) override;
    qint64 handedSamples() const override;
    qint64 heardSamples() const override;

private:
    QAudioSink* m_sink = nullptr;
    SpeechQueueDevice* m_queue = nullptr;
    QTimer m_progress;
};

} // namespace tavrine

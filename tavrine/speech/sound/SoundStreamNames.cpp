#include "tavrine/speech/sound/SoundStreamNames.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QByteArray>
#include <QList>
#include <QMediaDevices>

#include <optional>
#include <utility>

namespace tavrine {

void nameSoundStreams() {
    // Qt gives the client a name of its own: only the override replaces it.
    const QList<std::pair<const char*, QByteArray>> properties = {
        {"PULSE_PROP_OVERRIDE_application.name", QByteArrayLiteral("Tavrine")},
        {"PULSE_PROP_OVERRIDE_application.id", QByteArrayLiteral("com.dravolence.tavrine")},
        {"PULSE_PROP_application.icon_name", QByteArrayLiteral("com.dravolence.tavrine")},
        {"PULSE_PROP_media.role", QByteArrayLiteral("event")},
    };
    QList<std::optional<QByteArray>> before;
    for (const auto& [name, value] : properties) {
        before.append(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        qputenv(name, value);
    }
    // The connection reads them while it introduces itself to the server, which it does only for a first
    // stream: a silent stream opened and closed at once brings up the one connection Qt keeps for the process.
    QAudioFormat format;
    format.setSampleRate(24000);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    QAudioSink sink(QMediaDevices::defaultAudioOutput(), format);
    sink.start();
    sink.stop();
    for (qsizetype i = 0; i < properties.size(); ++i) {
        if (before[i])
            qputenv(properties[i].first, *before[i]);
        else
            qunsetenv(properties[i].first);
    }
}

} // namespace tavrine

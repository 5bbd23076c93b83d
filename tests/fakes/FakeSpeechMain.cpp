// The speech vendor's fake as a program, for running Tavrine by hand: it answers any text with a tone per word
// and character times. Point TAVRINE_SPEECH_BASE_URL at the origin it prints, and TAVRINE_SPEECH_VOICE at its voice.
#include "fakes/FakeSpeechVendor.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    quint16 port = 0;
    if (arguments.size() > 1)
        port = static_cast<quint16>(arguments.at(1).toUInt());
    tavrine::test::FakeSpeechVendor vendor;
    if (!vendor.listen(port)) {
        std::fprintf(stderr, "tavrine-fake-speech: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    std::printf("TAVRINE_SPEECH_BASE_URL=%s\nTAVRINE_SPEECH_VOICE=%s\n",
                qPrintable(vendor.origin().toString()), tavrine::test::FakeSpeechVendor::voice);
    std::fflush(stdout);
    return app.exec();
}

// tavrine-fake-api: the fake of the maker's API with plausible canned answers, for running Tavrine and the
// evaluation harness by hand against a local service.
#include "fakes/FakeMakerApi.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrine-fake-api"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serves judge, job, nudge, history, recap and speech/temporary-key on 127.0.0.1 with "
                       "canned answers. Any bearer token is accepted."));
    parser.addHelpOption();
    QCommandLineOption portOption(QStringList{QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("Port to listen on (default: a free one)."), QStringLiteral("port"),
                                  QStringLiteral("0"));
    QCommandLineOption verboseOption(QStringList{QStringLiteral("v"), QStringLiteral("verbose")},
                                     QStringLiteral("Print every request as it arrives."));
    QCommandLineOption variedOption(
        QStringLiteral("varied-nudges"),
        QStringLiteral("Answer every other nudge with a longer sentence, as a writer's sentences differ in length."));
    parser.addOption(portOption);
    parser.addOption(variedOption);
    parser.addOption(verboseOption);
    parser.process(app);

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!ok || port > 65535) {
        err << "tavrine-fake-api: the port must be a number from 0 to 65535\n";
        return 2;
    }

    tavrine::test::FakeMakerApi api;
    api.setCannedReplies(true);
    api.setVariedNudges(parser.isSet(variedOption));
    if (!api.listen(static_cast<quint16>(port))) {
        err << "tavrine-fake-api: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    if (parser.isSet(verboseOption))
        QObject::connect(&api, &tavrine::test::FakeMakerApi::requestReceived, &app,
                         [&out](const tavrine::test::FakeRequest& request) {
                             out << request.method << ' ' << request.path << ' ' << request.body << '\n';
                             out.flush();
                         });
    out << "TAVRINE_API_BASE_URL=" << api.baseURL().toString() << '\n';
    out << "TAVRINE_API_TOKEN=fake-token\n";
    out.flush();
    return app.exec();
}

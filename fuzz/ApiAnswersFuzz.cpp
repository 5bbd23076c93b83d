// The maker's API answers: the first byte picks the HTTP status, the rest is the body. The body goes through the
// client's reading of an answer and then through every answer parser, as each client does after the exchange.
#include "FuzzSupport.h"

#include "tavrine/services/JevClient.h"
#include "tavrine/services/LinesWriter.h"
#include "tavrine/services/LocalJobExpander.h"
#include "tavrine/services/LocalNudgeWriter.h"
#include "tavrine/services/TavrineAPIClient.h"

#include <QJsonObject>

namespace {

constexpr int statuses[] = {200, 200, 200, 200, 200, 200, 200, 200, 201, 204, 299, 401, 429, 500, 302, 100};

template <typename Parse> void parse(Parse body) {
    try {
        body();
    } catch (const std::exception& error) {
        tavrine::fuzz::touch(error);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int status = statuses[data[0] % std::size(statuses)];
    const QByteArray body = tavrine::fuzz::bytesOf(data + 1, size - 1);
    QJsonObject answer;
    try {
        answer = tavrine::TavrineAPIClient::answerObject(status, body);
    } catch (const std::exception& error) {
        tavrine::fuzz::touch(error);
        return 0;
    }
    parse([&] {
        const tavrine::JevVerdict verdict = tavrine::JevClient::parseAnswer(answer);
        (void)verdict;
    });
    parse([&] {
        const tavrine::JobBrief brief =
            tavrine::LocalJobExpander::readAnswer(QStringLiteral("Write the harbour report"), answer);
        (void)brief;
    });
    parse([&] {
        const tavrine::WrittenNudge nudge = tavrine::LocalNudgeWriter::parseAnswer(answer);
        (void)nudge;
    });
    parse([&] { (void)tavrine::LinesWriter::parseLines(answer).size(); });
    return 0;
}

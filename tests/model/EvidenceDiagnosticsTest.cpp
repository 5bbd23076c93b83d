#include "tavrine/model/EvidenceDiagnostics.h"
#include "support/LogCapture.h"
#include "tavrine/core/Error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace tavrine;

namespace {

// A family with a summary shape of its own, as the judge client has.
class StatusError : public Error {
public:
    StatusError(int status, QString body) : m_status(status), m_body(std::move(body)) {}
    QString caseName() const override { return QStringLiteral("httpStatus"); }
    QString domain() const override { return QStringLiteral("tavrine.StatusError"); }
    long code() const override { return 0; }
    QString description() const override { return QStringLiteral("API HTTP %1: ").arg(m_status) + m_body; }
    QString summaryCode() const override { return QStringLiteral("typesafeHTTP") + QString::number(m_status); }
    QString summaryText() const override { return description(); }

private:
    int m_status;
    QString m_body;
};

// A family that keeps the platform shape.
class PlatformError : public Error {
public:
    explicit PlatformError(bool cancellation = false) : m_cancellation(cancellation) {}
    QString caseName() const override { return QStringLiteral("timedOut"); }
    QString domain() const override { return QStringLiteral("QNetworkReply"); }
    long code() const override { return 4; }
    QString description() const override { return QStringLiteral("Socket operation timed out"); }
    bool isCancellation() const override { return m_cancellation; }

private:
    bool m_cancellation;
};

template <typename E> std::exception_ptr thrown(E error) {
    return std::make_exception_ptr(std::move(error));
}

QString decodeJoined(const QStringList& pieces) {
    const QByteArray json = "[" + pieces.join(QString()).toUtf8() + "]";
    return QJsonDocument::fromJson(json).array().at(0).toString();
}

} // namespace

TEST(ErrorSummary, CancellationIsCancelledWhateverItsType) {
    EXPECT_EQ(errorKindCode(thrown(CancelledError())), QStringLiteral("cancelled"));
    EXPECT_EQ(describeErrorForLog(thrown(CancelledError())), QStringLiteral("cancelled"));
    EXPECT_EQ(errorKindCode(PlatformError(true)), QStringLiteral("cancelled"));
    EXPECT_EQ(describeErrorForLog(PlatformError(true)), QStringLiteral("cancelled"));
}

TEST(ErrorSummary, TypedErrorsUseTheirFamilysShape) {
    EXPECT_EQ(errorKindCode(thrown(StatusError(503, QStringLiteral("busy")))), QStringLiteral("typesafeHTTP503"));
    EXPECT_EQ(describeErrorForLog(thrown(StatusError(503, QStringLiteral("busy")))),
              QStringLiteral("API HTTP 503: busy"));
    EXPECT_EQ(errorKindCode(thrown(PlatformError())), QStringLiteral("QNetworkReply code=4"));
    EXPECT_EQ(describeErrorForLog(thrown(PlatformError())),
              QStringLiteral("QNetworkReply code=4 Socket operation timed out"));
}

TEST(ErrorSummary, ForeignAndUnknownFailuresStillSummarise) {
    EXPECT_EQ(errorKindCode(thrown(std::runtime_error("disk full"))), QStringLiteral("std::exception code=0"));
    EXPECT_EQ(describeErrorForLog(thrown(std::runtime_error("disk full"))),
              QStringLiteral("std::exception code=0 disk full"));
    EXPECT_EQ(errorKindCode(thrown(17)), QStringLiteral("unknown code=0"));
    EXPECT_TRUE(describeErrorForLog(thrown(17)).startsWith(QStringLiteral("unknown code=0")));
    EXPECT_EQ(errorKindCode(std::exception_ptr()), QStringLiteral("unknown code=0"));
}

TEST(ErrorSummary, CutAt240UserPerceivedCharacters) {
    const QString prefix = QStringLiteral("API HTTP 500: ");
    const QString exact = prefix + QString(240 - prefix.size(), QLatin1Char('x'));
    EXPECT_EQ(describeErrorForLog(StatusError(500, exact.mid(prefix.size()))), exact);

    const QString longer = exact + QLatin1Char('y');
    const QString cut = describeErrorForLog(StatusError(500, longer.mid(prefix.size())));
    EXPECT_EQ(cut, exact + QStringLiteral("\u2026"));

    // Characters, not UTF-16 units: 240 emoji flags stay whole; never a split surrogate pair or cluster.
    const QString flag = QStringLiteral("\U0001F1E9\U0001F1EA");
    QString flags;
    for (int i = 0; i < 300; ++i)
        flags += flag;
    const QString cutFlags = describeErrorForLog(StatusError(500, flags));
    EXPECT_EQ(cutFlags, prefix + flags.left(flag.size() * (240 - prefix.size())) + QStringLiteral("\u2026"));
    // The code never carries the body.
    EXPECT_EQ(errorKindCode(StatusError(500, flags)), QStringLiteral("typesafeHTTP500"));
}

TEST(SplitForLog, EscapesLikeThePlatformEncoderAndRoundTrips) {
    EXPECT_EQ(splitForLog(QStringLiteral("a/b")), QStringList{QStringLiteral("\"a\\/b\"")});
    EXPECT_EQ(splitForLog(QStringLiteral("say \"hi\" \\ now")),
              QStringList{QStringLiteral("\"say \\\"hi\\\" \\\\ now\"")});
    EXPECT_EQ(splitForLog(QStringLiteral("l1\nl2\tx\x01")), QStringList{QStringLiteral("\"l1\\nl2\\tx\\u0001\"")});
    EXPECT_EQ(splitForLog(QString()), QStringList{QStringLiteral("\"\"")});

    const QString mixed = QStringLiteral("https://example.org/a?b=\"c\"\n\u00e9\U0001F600 </script>");
    EXPECT_EQ(decodeJoined(splitForLog(mixed)), mixed);
}

TEST(SplitForLog, PiecesOf700Characters) {
    const QStringList pieces = splitForLog(QString(1400, QLatin1Char('a')));
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_EQ(pieces[0].size(), 700);
    EXPECT_EQ(pieces[1].size(), 700);
    EXPECT_EQ(pieces[2], QStringLiteral("a\""));
    EXPECT_EQ(splitForLog(QString(698, QLatin1Char('a'))).size(), 1);
    EXPECT_EQ(splitForLog(QString(699, QLatin1Char('a'))).size(), 2);

    // Escapes count after encoding, and a piece never splits a character.
    QString text;
    for (int i = 0; i < 500; ++i)
        text += QStringLiteral("/\U0001F600");
    const QStringList slashes = splitForLog(text);
    ASSERT_EQ(slashes.size(), 3); // 1 + 1500 + 1 characters
    for (const QString& piece : slashes)
        EXPECT_FALSE(piece.back().isHighSurrogate());
    EXPECT_EQ(decodeJoined(slashes), text);
}

TEST(ModelCallLog, LinesCarryLengthsNeverText) {
    test::LogCapture capture;
    logModelCall(QStringLiteral("judge"), QStringLiteral("request"), QStringLiteral("caf\u00e9 secret"));
    logModelCall(QStringLiteral("nudge"), QStringLiteral("response"), QString(), 429);
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].category, QStringLiteral("ModelCall"));
    EXPECT_EQ(lines[0].level, QStringLiteral("info"));
    EXPECT_EQ(lines[0].message, QStringLiteral("call=judge kind=request chars=11"));
    EXPECT_EQ(lines[1].message, QStringLiteral("call=nudge kind=response status=429 chars=0"));
}

TEST(EvidenceDump, HeadLineThenNumberedPrivatePieces) {
    test::LogCapture capture;
    logEvidence(QStringLiteral("S1"), QStringLiteral("c0ffee00"), QStringLiteral("context"),
                QString(1400, QLatin1Char('a')));
    logEvidence(QStringLiteral("S1"), QStringLiteral("c0ffee01"), QStringLiteral("judge-output"), QString());
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 6);
    for (const auto& line : lines) {
        EXPECT_EQ(line.category, QStringLiteral("Evidence"));
        EXPECT_EQ(line.level, QStringLiteral("debug"));
    }
    EXPECT_EQ(lines[0].message, QStringLiteral("session=S1 check=c0ffee00 kind=context chars=1400 parts=3"));
    EXPECT_EQ(lines[1].message, QStringLiteral("session=S1 check=c0ffee00 kind=context part=1/3 content=<private>"));
    EXPECT_EQ(lines[3].message, QStringLiteral("session=S1 check=c0ffee00 kind=context part=3/3 content=<private>"));
    EXPECT_EQ(lines[4].message, QStringLiteral("session=S1 check=c0ffee01 kind=judge-output chars=0 parts=1"));
    EXPECT_EQ(lines[5].message,
              QStringLiteral("session=S1 check=c0ffee01 kind=judge-output part=1/1 content=<private>"));
}

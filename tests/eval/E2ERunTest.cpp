#include "HarnessRun.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QtEndian>

using namespace tavrine::test;

using E2ERun = HarnessRun;

TEST_F(E2ERun, RecognisesEachScreenshotUnderItsHeaderAndJudgesIt) {
    copyScreenshot(QStringLiteral("Safari.png"), QStringLiteral("shots/Safari.png"));
    copyScreenshot(QStringLiteral("Terminal_git.png"), QStringLiteral("shots/Terminal_git.png"));
    write(QStringLiteral("cases.json"), R"([
        {"id": "e1", "image": "shots/Safari.png", "intention": "Research accessibility", "expected": "relevant",
         "text": "ignored by this task"},
        {"id": "e2", "image": "/shots/Terminal_git.png", "intention": "Ship it", "expected": "unrelated"}
    ])");
    m_api.enqueue(QStringLiteral("judge"), FakeReply::json(verdict(QStringLiteral("relevant"), 0.75, 0.5)));
    m_api.enqueue(QStringLiteral("judge"), FakeReply::text(503, "busy"));

    const HarnessOutcome outcome = run(QStringLiteral("--cases cases.json"));
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const QStringList lines = outcome.outLines();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("id\texpected\tpredicted\tok\tlatency_s\tenough_evidence\tsupports_job\t"
                                       "job_origin\tjob"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("e1\trelevant\trelevant\ttrue\t")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("e2\tunrelated\t\tfalse\t")));
    EXPECT_EQ(lines[3], QStringLiteral("accuracy=1/2"));
    EXPECT_EQ(lines[4], QStringLiteral("wrote ") + path(QStringLiteral("e2e-results.json")));

    const auto requests = m_api.requests(QStringLiteral("judge"));
    ASSERT_EQ(requests.size(), 2);
    const QJsonObject state = requests[0].json().value(QStringLiteral("state")).toObject();
    const QStringList text = state.value(QStringLiteral("text")).toString().split(QLatin1Char('\n'));
    // The header first, then what the screenshot shows below its title bar and address bar.
    EXPECT_EQ(text.value(0), QStringLiteral("App: Safari. Window: \"Accessibility - Wikipedia\". Subject: "
                                            "\"Accessibility\". URL: https://en.wikipedia.org/wiki/Accessibility"));
    const QString recognised = text.mid(1).join(QLatin1Char('\n'));
    EXPECT_TRUE(recognised.contains(QStringLiteral("Legislation"))) << recognised.toStdString();
    EXPECT_FALSE(recognised.contains(QStringLiteral("wikipedia.org"))) << recognised.toStdString();
    EXPECT_EQ(state.value(QStringLiteral("app")).toString(), QStringLiteral("Safari"));
    EXPECT_EQ(state.value(QStringLiteral("focused")).toString(), QString());
    const QString terminal =
        requests[1].json().value(QStringLiteral("state")).toObject().value(QStringLiteral("text")).toString();
    EXPECT_TRUE(terminal.startsWith(QStringLiteral("App: Terminal.")));
    EXPECT_TRUE(terminal.contains(QStringLiteral("modified:"))) << terminal.toStdString();

    const QJsonObject report = this->report(QStringLiteral("e2e-results.json"));
    EXPECT_EQ(report.value(QStringLiteral("task")).toString(), QStringLiteral("e2e"));
    const QJsonArray cases = report.value(QStringLiteral("cases")).toArray();
    ASSERT_EQ(cases.size(), 2);
    EXPECT_EQ(cases[0].toObject().value(QStringLiteral("judge_text")), state.value(QStringLiteral("text")));
    EXPECT_EQ(cases[0].toObject().value(QStringLiteral("image")).toString(), QStringLiteral("shots/Safari.png"));
    EXPECT_EQ(cases[0].toObject().value(QStringLiteral("predicted_raw")).toString(),
              QStringLiteral("enough_evidence: 0.7500\nIs this the work?: 0.5000"));
    EXPECT_EQ(cases[1].toObject().value(QStringLiteral("image")).toString(), QStringLiteral("/shots/Terminal_git.png"));
    EXPECT_EQ(cases[1].toObject().value(QStringLiteral("error")).toString(), QStringLiteral("typesafeHTTP503"));
    EXPECT_EQ(cases[1].toObject().value(QStringLiteral("judge_text")).toString(), terminal);
}

namespace {

// A sound PNG whose header states `width` x `height` pixels of `format`: only its header is ever read.
QByteArray pngStating(quint32 width, quint32 height, QImage::Format format = QImage::Format_ARGB32) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage one(1, 1, format);
    one.fill(0);
    one.save(&buffer, "PNG");
    // IHDR's data follows the signature, its length and its type; its CRC covers the type and the data.
    QByteArray header = png.mid(12, 17);
    qToBigEndian(width, header.data() + 4);
    qToBigEndian(height, header.data() + 8);
    png.replace(12, 17, header);
    QByteArray crc(4, '\0');
    qToBigEndian(tavrine::test::crc32(header), crc.data());
    return png.replace(29, 4, crc);
}

} // namespace

TEST_F(E2ERun, StopsAtACaseItCannotUse) {
    copyScreenshot(QStringLiteral("Notes_shopping.png"), QStringLiteral("Notes_shopping.png"));
    write(QStringLiteral("notes.txt"), "not an image");
    // Screenshots that never end or are just over the largest file read (sparse: no disk spent).
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path(QStringLiteral("zero.png"))));
    QFile huge(write(QStringLiteral("huge.png"), "\x89PNG"));
    ASSERT_TRUE(huge.resize(256 * 1024 * 1024 + 1));
    // A text chunk before IEND whose stated length (2 GB) runs far past the file's end: libpng would allocate it.
    QFile shot(copyScreenshot(QStringLiteral("Notes_shopping.png"), QStringLiteral("damaged.png")));
    ASSERT_TRUE(shot.open(QIODevice::ReadOnly));
    QByteArray damaged = shot.readAll();
    shot.close();
    damaged.insert(damaged.size() - 12, QByteArray("\x7e\x00\x00\x25tEXtComment", 15));
    write(QStringLiteral("damaged.png"), damaged);
    write(QStringLiteral("vast.png"), pngStating(8000, 8000));
    // 61 MB at its own 8 bits a pixel, which is not how Qt counts it against its 128 MB.
    write(QStringLiteral("grey.png"), pngStating(8000, 8000, QImage::Format_Grayscale8));
    // A header libpng refuses for a side over its own bound, 8 MB as Qt counts.
    write(QStringLiteral("wide.png"), pngStating(2000000, 1, QImage::Format_Grayscale8));
    m_api.setCannedReplies(true);
    const QString valid =
        QStringLiteral(R"({"id": "ok", "image": "Notes_shopping.png", "intention": "Shop", "expected": "relevant"})");
    const std::vector<std::pair<QString, QString>> stops = {
        {QStringLiteral(R"({"id": "s1", "image": "Notes_shopping.png", "expected": "relevant"})"),
         QStringLiteral("Case s1 is missing intention\n")},
        {QStringLiteral(R"({"id": "s2", "image": "Notes_shopping.png", "intention": "", "expected": ""})"),
         QStringLiteral("Case s2 is missing intention\n")},
        {QStringLiteral(R"({"id": "s3", "image": "Notes_shopping.png", "intention": "Shop"})"),
         QStringLiteral("Case s3 is missing expected\n")},
        {QStringLiteral(R"({"id": "s4", "image": "gone.png", "intention": "Shop", "expected": "relevant"})"),
         QStringLiteral("Eval failed: Cannot read ") + path(QStringLiteral("gone.png")) + QStringLiteral(": ")},
        {QStringLiteral(R"({"id": "s5", "intention": "Shop", "expected": "relevant"})"),
         QStringLiteral("Eval failed: Cannot read ") + m_folder.path() +
             QStringLiteral(": Is a directory (case s5 names no image)\n")},
        {QStringLiteral(R"({"id": "s6", "image": "notes.txt", "intention": "Shop", "expected": "relevant"})"),
         QStringLiteral("Eval failed: Missing image ") + path(QStringLiteral("notes.txt")) + QLatin1Char('\n')},
        {QStringLiteral(R"({"id": "s7", "image": "zero.png", "intention": "Shop", "expected": "relevant"})"),
         QStringLiteral("Eval failed: Cannot read ") + path(QStringLiteral("zero.png")) +
             QStringLiteral(": File is larger than 256 MB\n")},
        {QStringLiteral(R"({"id": "s8", "image": "huge.png", "intention": "Shop", "expected": "relevant"})"),
         QStringLiteral("Eval failed: Cannot read ") + path(QStringLiteral("huge.png")) +
             QStringLiteral(": File is larger than 256 MB\n")},
        {QStringLiteral(R"({"id": "s9", "image": "damaged.png", "intention": "Shop", "expected": "relevant"})"),
         QStringLiteral("Eval failed: Cannot read ") + path(QStringLiteral("damaged.png")) +
             QStringLiteral(": Damaged PNG: chunk tEXt states 2113929253 bytes, more than the data holds\n")},
        {QStringLiteral(R"({"id": "s10", "image": "vast.png", "intention": "Shop", "expected": "relevant"})"),
         QStringLiteral("Eval failed: Cannot read ") + path(QStringLiteral("vast.png")) +
             QStringLiteral(": Image of 8000 x 8000 pixels: too large to decode within Qt's image limit of 128 MB\n")},
        {QStringLiteral(R"({"id": "s11", "image": "grey.png", "intention": "Shop", "expected": "relevant"})"),
         QStringLiteral("Eval failed: Cannot read ") + path(QStringLiteral("grey.png")) +
             QStringLiteral(": Image of 8000 x 8000 pixels: too large to decode within Qt's image limit of 128 MB\n")},
        {QStringLiteral(R"({"id": "s12", "image": "wide.png", "intention": "Shop", "expected": "relevant"})"),
         QStringLiteral("Eval failed: Cannot read ") + path(QStringLiteral("wide.png")) +
             QStringLiteral(": Image of 2000000 x 1 pixels: cannot be decoded, as libpng takes no image with a side "
                            "over 1000000 pixels\n")},
    };
    for (const auto& [stop, message] : stops) {
        write(QStringLiteral("cases.json"),
              (QLatin1Char('[') + valid + QLatin1Char(',') + stop + QLatin1Char(']')).toUtf8());
        const HarnessOutcome outcome = expectStop(QStringLiteral("--eval --cases=cases.json"), message);
        // The rows before the stop stay; no report, no closing lines.
        EXPECT_EQ(outcome.outLines().size(), 2) << outcome.out.toStdString();
        EXPECT_TRUE(outcome.outLines().value(1).startsWith(QStringLiteral("ok\t")));
        EXPECT_FALSE(exists(QStringLiteral("e2e-results.json")));
    }
}

TEST_F(E2ERun, AnImagePathMayLeadOutOfTheCasesFolder) {
    // The cases file is the user's own: a screenshot beside its folder is read like any other.
    copyScreenshot(QStringLiteral("Notes_shopping.png"), QStringLiteral("shots/Notes_shopping.png"));
    write(QStringLiteral("cases/cases.json"),
          R"([{"id": "up", "image": "../shots/Notes_shopping.png", "intention": "Shop", "expected": "relevant"}])");
    m_api.setCannedReplies(true);
    const HarnessOutcome outcome = run(QStringLiteral("--cases cases/cases.json"));
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const auto requests = m_api.requests(QStringLiteral("judge"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].json().value(QStringLiteral("state")).toObject().value(QStringLiteral("app")).toString(),
              QStringLiteral("Notes"));
}

#include "tavrine/eval/E2EEvaluation.h"

#include "tavrine/eval/CaseFile.h"
#include "tavrine/eval/EvalConsole.h"
#include "tavrine/eval/EvalError.h"
#include "tavrine/eval/EvalFileError.h"
#include "tavrine/eval/EvalReport.h"
#include "tavrine/eval/EvalServices.h"
#include "tavrine/eval/JudgedCase.h"
#include "tavrine/model/EvidenceText.h"
#include "tavrine/model/ImageData.h"
#include "tavrine/ocr/TextRecognition.h"

#include <QDir>
#include <QFileInfo>

namespace tavrine::eval {

namespace {

// Recognised text whose top edge lies in this top part of the screenshot (title bar, tabs, toolbar) is left out.
constexpr double topBand = 0.1;
// The most characters of evidence text the judge reads: the header and the recognised lines under it.
constexpr qsizetype evidenceLimit = 2400;

// The screenshot as the capture would have described it, with no process or window behind it; its text comes
// from recognition later.
ActivityEvidence evidenceFor(const EvalCase::Metadata& metadata, const QImage& image, const QByteArray& bytes) {
    ActivityEvidence evidence = judgedEvidence(metadata, QStringLiteral("window"));
    evidence.header =
        formatEvidenceText(metadata.app, metadata.title, metadata.url, metadata.subject, metadata.focused);
    evidence.imageFingerprint = imageFingerprint(image);
    evidence.imagePNG = bytes;
    return evidence;
}

} // namespace

QCoro::Task<int> runE2EEvaluation(EvalOptions options, QList<EvalCase> cases) {
    EvalServices services;
    co_await services.start();
    JobBriefs briefs(services.api(), options.expand);
    JevClient judge(services.api());

    const QString casesFolder = QFileInfo(options.cases).path();
    EvalE2ERun run = startJudgedRun<EvalE2ERunCase>(QStringLiteral("e2e"), options, QStringLiteral("e2e-results.json"),
                                                    QStringLiteral("job"));

    int correct = 0;
    for (const EvalCase& evalCase : std::as_const(cases)) {
        if (evalCase.intention.isEmpty()) {
            console::printError(QStringLiteral("Case ") + evalCase.id + QStringLiteral(" is missing intention"));
            co_return 2;
        }
        if (!evalCase.expected) {
            console::printError(QStringLiteral("Case ") + evalCase.id + QStringLiteral(" is missing expected"));
            co_return 2;
        }
        // Always under the cases folder, even for an image written with a leading "/".
        const QString imagePath = QDir::cleanPath(casesFolder + QLatin1Char('/') + evalCase.image);
        QByteArray bytes;
        try {
            bytes = casefile::readAll(imagePath);
        } catch (const Error& error) {
            QString message = QStringLiteral("Eval failed: ") + error.description();
            // An empty image names the cases folder itself, which says nothing about where the mistake is.
            if (evalCase.image.isEmpty())
                message += QStringLiteral(" (case ") + evalCase.id + QStringLiteral(" names no image)");
            console::printError(message);
            co_return 2;
        }
        DecodedImage decoded = decodeImageData(bytes);
        if (!decoded.refusal.isEmpty()) {
            console::printError(QStringLiteral("Eval failed: ") +
                                EvalFileError::read(imagePath, decoded.refusal).description());
            co_return 2;
        }
        QImage image = std::move(decoded.image);
        if (image.isNull()) {
            console::printError(QStringLiteral("Eval failed: ") + EvalError::missingImage(imagePath).description());
            co_return 2;
        }
        const EvalCase::Metadata metadata = resolveCaseMetadata(evalCase);
        ActivityEvidence evidence = evidenceFor(metadata, image, bytes);
        bytes.clear();

        QElapsedTimer started;
        started.start();
        // The decoded image is recognised as it is rather than decoded from the same bytes a second time; lines
        // are recognised only as far as the merge can take them.
        const MergedText merged = co_await recognizeAndMerge(std::move(image), topBand, evidence.header, evidenceLimit);
        evidence.text = merged.text;
        const QString judgeTextSent = evidence.text;

        const JudgedCase judged = co_await judgeCase(briefs, judge, evalCase.id, evalCase.intention,
                                                     rawValue(*evalCase.expected), std::move(evidence), started);
        if (judged.ok())
            ++correct;
        EvalE2ERunCase record;
        judged.fill(record);
        record.image = evalCase.image;
        record.intention = evalCase.intention;
        record.judgeText = judgeTextSent;
        run.cases.append(record);
        judged.print();
    }

    finishJudgedRun(run, correct);
    co_return 0;
}

} // namespace tavrine::eval

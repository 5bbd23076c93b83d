#include "tavrine/model/EvidenceDiagnostics.h"

#include "tavrine/core/Error.h"
#include "tavrine/core/Log.h"
#include "tavrine/core/Text.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace tavrine {

namespace {
constexpr qsizetype summaryLimit = 240;
constexpr qsizetype logPieceLength = 700;

const QString cancelled = QStringLiteral("cancelled");

// The platform shape for failures that carry no domain of their own.
QString foreignCode(const QString& domain) {
    return domain + QStringLiteral(" code=0");
}

template <typename Visit> auto visitError(std::exception_ptr error, Visit visit) {
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return visit(&e);
    } catch (...) {
    }
    return visit(nullptr);
}
} // namespace

QString errorKindCode(const std::exception& error) {
    if (const auto* typed = dynamic_cast<const Error*>(&error)) {
        if (typed->isCancellation())
            return cancelled;
        return typed->summaryCode();
    }
    return foreignCode(QStringLiteral("std::exception"));
}

QString errorKindCode(std::exception_ptr error) {
    return visitError(
        error, [](const std::exception* e) { return e ? errorKindCode(*e) : foreignCode(QStringLiteral("unknown")); });
}

QString describeErrorForLog(const std::exception& error) {
    if (const auto* typed = dynamic_cast<const Error*>(&error)) {
        if (typed->isCancellation())
            return cancelled;
        return text::graphemeCut(typed->summaryText(), summaryLimit);
    }
    const QString description = QString::fromUtf8(error.what());
    return text::graphemeCut(foreignCode(QStringLiteral("std::exception")) + QLatin1Char(' ') + description,
                             summaryLimit);
}

QString describeErrorForLog(std::exception_ptr error) {
    return visitError(error, [](const std::exception* e) {
        return e ? describeErrorForLog(*e) : foreignCode(QStringLiteral("unknown")) + QStringLiteral(" unknown error");
    });
}

QString errorReason(std::exception_ptr error) {
    return visitError(error, [](const std::exception* e) {
        const auto* typed = dynamic_cast<const Error*>(e);
        return typed && !typed->isCancellation() ? text::graphemeCut(typed->reason(), summaryLimit) : QString();
    });
}

void logModelCall(const QString& call, const QString& kind, const QString& text, std::optional<int> status) {
    const QLoggingCategory& category = logModelCallCategory();
    if (!log::enabled(category, log::Level::Default))
        return;
    QString line = QStringLiteral("call=") + call + QStringLiteral(" kind=") + kind;
    if (status)
        line += QStringLiteral(" status=") + QString::number(*status);
    line += QStringLiteral(" chars=") + QString::number(text::graphemeCount(text));
    log::notice(category, line);
}

QStringList splitForLog(const QString& text) {
    // QJson writes no bare top-level string: encode a one-element array and take the brackets off.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    QString encoded = QString::fromUtf8(array.mid(1, array.size() - 2));
    // The platform encoder also escapes every slash; a slash can only occur inside the string here.
    encoded.replace(QLatin1Char('/'), QLatin1String("\\/"));

    QStringList pieces;
    const QStringList clusters = text::graphemes(encoded);
    QString piece;
    qsizetype count = 0;
    for (const QString& cluster : clusters) {
        piece += cluster;
        if (++count == logPieceLength) {
            pieces.append(piece);
            piece.clear();
            count = 0;
        }
    }
    if (count > 0)
        pieces.append(piece);
    return pieces;
}

void logEvidence(const QString& session, const QString& check, const QString& kind, const QString& content) {
    const QLoggingCategory& category = tavrine::logEvidence();
    if (!log::enabled(category, log::Level::Info))
        return;
    const QStringList pieces = splitForLog(content);
    const QString prefix =
        QStringLiteral("session=") + session + QStringLiteral(" check=") + check + QStringLiteral(" kind=") + kind;
    const QString total = QString::number(pieces.size());
    log::info(category, prefix + QStringLiteral(" chars=") + QString::number(text::graphemeCount(content)) +
                            QStringLiteral(" parts=") + total);
    for (qsizetype i = 0; i < pieces.size(); ++i)
        log::info(category, prefix + QStringLiteral(" part=") + QString::number(i + 1) + QLatin1Char('/') + total +
                                QStringLiteral(" content=") + log::priv(pieces.at(i)));
}

} // namespace tavrine

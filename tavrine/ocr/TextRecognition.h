#pragma once

#include "tavrine/core/Cancellation.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QString>

namespace tavrine {

// What merging recognised lines into a base text gave: the merged text and the number of characters added
// (added lines plus one line feed between each two of them; the line feed after the base is not counted).
struct MergedText {
    QString text;
    qsizetype added = 0;

    bool operator==(const MergedText&) const = default;
};

// The most characters that recognizeText returns, line feeds included.
inline constexpr qsizetype recognizedTextLimit = 2400;

// Recognises the text of `image` on the device. Lines whose top edge lies within the top `band` of the image
// (a fraction of its height) are left out; the rest come top to bottom, whitespace collapsed, joined by line
// feeds, at most recognizedTextLimit characters (the first line that does not fit ends the text). Lines the
// recognizer is not confident about (icons, pictures) count as no line. A failure gives "".
// Runs on the one OCR thread and resumes on the application's (main) thread through its event loop. Throws
// CancelledError when `cancel` has fired by then; a cancellation resumes the caller at once, without waiting for
// the recognizer, which stops at its next check.
QCoro::Task<QString> recognizeText(QImage image, double band, CancellationToken cancel = {});

// The same result as mergeCapturedText(base, recognizeText(image, band), budget), but recognising only the lines
// the merge can still take: lines are recognised top to bottom and recognition ends where the merge stops.
// Recognition failures merge as "". Same threads and cancellation as recognizeText.
QCoro::Task<MergedText> recognizeAndMerge(QImage image, double band, QString base, qsizetype budget,
                                          CancellationToken cancel = {});

// Splits at every line break (LF, VT, FF, CR, CR LF, U+0085, U+2028, U+2029), trims each line, and drops empty
// lines and assistive-technology boilerplate ("screen reader", "keyboard shortcut", "banner hidden" in any case).
// The remaining lines keep their case and order and are joined by line feeds. Pure; needs no recognizer.
QString dropNoiseLines(const QString& text);

// Adds the cleaned lines of `extra` that the cleaned `base` does not already hold, below the base, while the
// base (plus its line feed) and the added characters stay within `budget`; the first line that does not fit
// ends the merge. The base is kept unchanged (noise lines and all). Pure; needs no recognizer.
MergedText mergeCapturedText(const QString& base, const QString& extra, qsizetype budget);

} // namespace tavrine

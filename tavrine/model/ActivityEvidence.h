#pragma once

#include "tavrine/model/ActivityWindowIdentity.h"
#include "tavrine/model/PngBytes.h"

#include <QByteArray>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace tavrine {

// The record of one observation of the frontmost window: filled by the capture, judged by the classifier, kept
// and compared by the session, built from case files by the evaluation harness.
struct ActivityEvidence {
    QString app;
    QString bundle;
    qint32 pid = 0;
    std::optional<quint32> windowID;
    QString title;
    QString url;
    QString text;
    QString source;
    std::optional<QString> issue;
    QString capturePath;
    qint64 accessibilityCharacters = 0;
    QString accessibilityText;
    qint64 ocrCharacters = 0;
    QString header;
    std::optional<QRectF> windowFrame;
    std::optional<QRectF> contentFrame;
    QString imageFingerprint;
    PngBytes imagePNG;
    QString focusedDescription;
    QString subject;

    // The window this record was taken from.
    ActivityWindowIdentity windowIdentity() const;

    // One line for the logs: method, path, counts, and the image, crop and issue pieces when they say something.
    QString diagnosticLine() const;

    // The distinct words of `text`, lower-cased.
    QSet<QString> contentWords() const;

    // Whether both records show the same window and page, with the same problem and (nearly) the same words.
    bool hasSameContent(const ActivityEvidence& other) const;

    // All twenty fields; rectangles compare exactly, not with Qt's fuzzy rectangle equality.
    friend bool operator==(const ActivityEvidence& a, const ActivityEvidence& b);
};

} // namespace tavrine

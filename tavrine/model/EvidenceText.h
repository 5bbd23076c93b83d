#pragma once

#include <QString>
#include <QStringList>

namespace tavrine {

// The longest texts taken from a window, in user-perceived characters, so that no request carries more than
// judging needs whatever a window says (a title can be a megabyte, and every request holds it twice). Cut with
// text::graphemePrefix, on a character boundary.
namespace evidenceLimit {
inline constexpr qsizetype title = 300;
// An application's name and id (a window class is free text too).
inline constexpr qsizetype appName = 120;
inline constexpr qsizetype appId = 255;
// A page address: far past any host and path that says what a page is.
inline constexpr qsizetype pageAddress = 1000;
} // namespace evidenceLimit

// The one definition of a meaningful label and of the one-line evidence text, shared by the capture, the nudge
// facts, the activity log's clues and the evaluation harness. Every rule compares whitespace-collapsed text
// (text::collapseWhitespace) and counts user-perceived characters.

// Window-frame and browser-interface words that say nothing about what the user does: empty text, the other text
// (the application's name) ignoring case, a one- or two-word label sharing its first word with the other text,
// or one of the fixed chrome labels ("close", "new tab", "settings", …).
bool isChromeLabel(const QString& text, const QString& other);

// 3 to 120 characters after collapsing, and not a chrome label.
bool isUsefulLabel(const QString& text, const QString& other);

// The focused element's value as evidence: empty when it is empty, equals its placeholder or is a chrome label;
// otherwise its first 160 characters.
QString focusedValueText(const QString& value, const QString& placeholder, const QString& other);

// The first useful candidate among the ancestor labels, headings, selected texts and the focused description,
// in that order, cut to 120 characters; empty when none is useful.
QString chooseSubject(const QString& other, const QString& focusedDescription, const QStringList& ancestorLabels,
                      const QStringList& headings, const QStringList& selectedTexts);

// The one-line evidence text: "App: …." then, when they say something, the window title, the subject, the page
// address and the focused text.
QString formatEvidenceText(const QString& app, const QString& title, const QString& url, const QString& subject,
                           const QString& focused);

} // namespace tavrine

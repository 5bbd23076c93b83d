#include "tavrine/capture/ScreenAddress.h"

#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"
#include "tavrine/model/PageAddress.h"
#include "tavrine/ocr/OcrEngine.h"
#include "tavrine/ocr/PageReader.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace tavrine::capture {

namespace {

// The characters of an address as a bar shows it: the unreserved and reserved characters of a URI, less "!" and
// the apostrophe, which stand in addresses far more rarely than a misread "l" or "i" would stand for them.
const QString addressCharacters =
    QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~:/?#[]@$&()*+,;=%");

// Some bars draw all but the host in light grey (Falkon): a bar that gives no address as shown is read again
// with its ink this much darker.
constexpr double faintInkGain = 4.0;

// The navigation buttons (back, forward, reload) stand left of the address: it starts at least this many of its
// own heights from the window's left edge. Text of a page starts within two.
constexpr double navigationReach = 4.0;

// The letters and digits of a title that tell its tab.
constexpr qsizetype titleKeyLength = 8;
constexpr qsizetype shortestTitleKey = 3;
// One misread letter is allowed in a key at least this long.
constexpr qsizetype tolerantTitleKey = 6;

const QRegularExpression& addressShape() {
    // Hosts in lower case (a bar shows them so); the path as it is.
    static const QRegularExpression shape(QStringLiteral("^(?:https?://)?"
                                                         "(?:(?:[a-z0-9](?:[a-z0-9-]{0,61}[a-z0-9])?\\.)+"
                                                         "([a-z]{2,63}|xn--[a-z0-9-]{1,59})"
                                                         "|\\d{1,3}(?:\\.\\d{1,3}){3}|localhost)"
                                                         "(?::\\d{1,5})?(?:/\\S*)?$"));
    return shape;
}

// The top-level domains, from the system's list of public suffixes (the last label of each of its rules); empty
// when the system has none.
const QSet<QString>& topLevelDomains() {
    static const QSet<QString> domains = [] {
        QSet<QString> found;
        QFile file(QStringLiteral("/usr/share/publicsuffix/public_suffix_list.dat"));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return found;
        while (!file.atEnd()) {
            const QString rule = QString::fromUtf8(file.readLine()).trimmed();
            if (rule.isEmpty() || rule.startsWith(QLatin1String("//")))
                continue;
            found.insert(rule.section(QLatin1Char('.'), -1).toLower());
        }
        return found;
    }();
    return domains;
}

// Whether the label ends a host name: a known top-level domain, any internationalised one, or (without a list on
// the system) any label of letters.
bool isTopLevelDomain(const QString& label) {
    const QSet<QString>& domains = topLevelDomains();
    return label.startsWith(QLatin1String("xn--")) || domains.isEmpty() || domains.contains(label);
}

// The letters and digits of a text, case-folded: what survives of a title however a tab draws and a recognizer
// reads its punctuation.
QString lettersAndDigits(const QString& text) {
    QString kept;
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            kept += c.toCaseFolded();
    }
    return kept;
}

// The page's part of a window title: what stands before the browser's name after the last dash, when enough
// letters and digits are left to tell a tab by.
QString pageTitle(const QString& windowTitle) {
    static const QRegularExpression lastDash(QStringLiteral("\\s[-\u2013\u2014]\\s(?!.*\\s[-\u2013\u2014]\\s)"));
    const QRegularExpressionMatch match = lastDash.match(windowTitle);
    if (match.hasMatch()) {
        const QString before = windowTitle.left(match.capturedStart());
        if (lettersAndDigits(before).size() >= shortestTitleKey)
            return before;
    }
    return windowTitle;
}

// Whether `key` occurs in `text` with at most `edits` letters changed, added or left out.
bool occursWithin(const QString& key, const QString& text, int edits) {
    // Edit distances of key's prefixes against substrings of the text that end at each position; a match may
    // start anywhere, so the empty prefix costs nothing at every position.
    std::vector<int> column(size_t(key.size()) + 1);
    for (size_t i = 0; i < column.size(); ++i)
        column[i] = int(i);
    if (column.back() <= edits)
        return true;
    for (const QChar c : text) {
        int diagonal = column[0];
        for (qsizetype i = 1; i <= key.size(); ++i) {
            const int above = column[size_t(i)];
            column[size_t(i)] =
                std::min({above + 1, column[size_t(i - 1)] + 1, diagonal + (key.at(i - 1) == c ? 0 : 1)});
            diagonal = above;
        }
        if (column.back() <= edits)
            return true;
    }
    return false;
}

// The address of the bar's words: the first that starts right of the navigation buttons and has an address's
// shape.
std::optional<QString> addressOfBarWords(const QList<OcrWord>& words) {
    for (const OcrWord& word : words) {
        if (word.box.left() < navigationReach * word.box.height())
            continue;
        if (auto address = addressFromToolbarText(word.text))
            return address;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> addressFromToolbarText(const QString& text) {
    for (const QString& word : text::collapseWhitespace(text).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (word.size() > evidenceLimit::pageAddress)
            continue;
        const QRegularExpressionMatch match = addressShape().match(word);
        if (match.hasMatch() && (match.capturedLength(1) == 0 || isTopLevelDomain(match.captured(1))) &&
            normalizedHost(word))
            return word;
    }
    return std::nullopt;
}

bool showsTitleStart(const QString& line, const QString& windowTitle) {
    const QString key = lettersAndDigits(pageTitle(windowTitle)).left(titleKeyLength);
    if (key.size() < shortestTitleKey)
        return false;
    return occursWithin(key, lettersAndDigits(line), key.size() >= tolerantTitleKey ? 1 : 0);
}

QList<QList<QRect>> rowsOfBoxes(QList<QRect> boxes) {
    std::stable_sort(boxes.begin(), boxes.end(), [](const QRect& a, const QRect& b) { return a.top() < b.top(); });
    QList<QList<QRect>> rows;
    for (const QRect& box : boxes) {
        if (!rows.isEmpty()) {
            const QRect& first = rows.last().first();
            const int overlap = std::min(first.bottom(), box.bottom()) - std::max(first.top(), box.top()) + 1;
            if (2 * overlap >= std::min(first.height(), box.height())) {
                rows.last().append(box);
                continue;
            }
        }
        rows.append({box});
    }
    for (QList<QRect>& row : rows)
        std::stable_sort(row.begin(), row.end(), [](const QRect& a, const QRect& b) { return a.left() < b.left(); });
    return rows;
}

QCoro::Task<std::optional<QString>> readScreenAddress(QImage band, QString windowTitle, CancellationToken cancel) {
    auto address = std::make_shared<std::optional<QString>>();
    auto job = std::make_shared<OcrJob>();
    job->work = [band = std::move(band), windowTitle, address](PageReader& reader, const std::atomic<bool>& cancelled) {
        const QImage page = PageReader::preparePage(band);
        if (page.isNull())
            return;
        const QList<QList<QRect>> rows = rowsOfBoxes(reader.lineBoxes(page));
        // The tab strip: however unsure the recognizer is of a tab's title, it is the title's only when its start
        // is the window title's.
        const auto showsTitle = [&](const QList<QRect>& row) {
            return std::any_of(row.begin(), row.end(), [&](const QRect& box) {
                const std::optional<PageReader::Line> line = reader.readLine(page, box, cancelled);
                return line && showsTitleStart(line->text, windowTitle);
            });
        };
        const auto tabs = std::find_if(rows.begin(), rows.end(), showsTitle);
        if (cancelled.load() || tabs == rows.end() || tabs + 1 == rows.end())
            return;
        // Dark writing reads best as shown; darkened, its edges thicken.
        for (const double inkGain : {1.0, faintInkGain}) {
            for (const QRect& box : *(tabs + 1)) {
                *address = addressOfBarWords(OcrEngine::readLineIn(page, box, addressCharacters, cancelled, inkGain));
                if (*address || cancelled.load())
                    return;
            }
        }
    };
    co_await OcrEngine::perform(job, cancel);
    co_return *address;
}

} // namespace tavrine::capture

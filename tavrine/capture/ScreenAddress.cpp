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

// Bars draw their writing small, and some draw all but the host in light grey (Firefox, Falkon): the bar's row is
// read enlarged this many times, with its ink this much darker. Measured on 71 real bars of Chromium, Firefox and
// Falkon (bench/address_survey, every character right or not): as shown, 35 read exactly; darkened, 32; enlarged,
// 40; both, 60.
constexpr int barEnlargement = 2;
constexpr double barInkGain = 4.0;

// An address is taken only when the recognizer is at least this sure (0 to 100) of every one of its characters: a
// misread letter leaves an address that looks right, and a wrong address is worse than none. An "l" needs less: the
// recognizer's doubt about it goes mostly to "|" and "!", which no address shows. Measured on 146 real bars of
// Chromium, Firefox, Falkon, Epiphany, NetSurf and Konqueror read as above: of the 77 addresses read exactly, 15 held
// a character under 91, 12 of them an "l" (84 to 90); of the 10 read wrongly (".htmI" for ".html", a letter left
// out or added), each held a character other than "l" at 58 to 90 but one, a case misread ("Iv" for "IV", 94).
constexpr float sureCharacter = 91;
constexpr float sureL = 84;

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

// The address a bar's word shows, from its scheme on when it has one (what a recognizer makes of the field's icon
// stands before it), with the recognizer's confidence in each of its characters.
OcrWord fromScheme(const OcrWord& word) {
    static const QRegularExpression scheme(QStringLiteral("https?://"));
    const qsizetype start = std::max<qsizetype>(0, word.text.indexOf(scheme));
    return {word.text.mid(start), word.box, word.characterConfidences.mid(start)};
}

// Whether the recognizer is sure of every character of the word.
bool readSurely(const OcrWord& word) {
    if (word.characterConfidences.size() != word.text.size())
        return false;
    for (qsizetype i = 0; i < word.text.size(); ++i) {
        if (word.characterConfidences.at(i) < (word.text.at(i) == QLatin1Char('l') ? sureL : sureCharacter))
            return false;
    }
    return true;
}

// The bar's address among its words: the first word that starts right of the navigation buttons and has an
// address's shape. Found is whether there was such a word, sure or not; the address is there only when the word
// was read surely and whole.
struct BarAddress {
    bool found = false;
    std::optional<QString> address;
};

// `title`, when given, is a window title the word must show the start of (a row that shows the title is taken for
// the bar only through its address).
BarAddress addressOfBarWords(const QList<OcrWord>& words, const QRect& box, const QString& title) {
    const QRect line(box.topLeft() * barEnlargement, box.size() * barEnlargement);
    for (qsizetype i = 0; i < words.size(); ++i) {
        const OcrWord word = fromScheme(words.at(i));
        if (word.box.left() < navigationReach * word.box.height())
            continue;
        const std::optional<QString> address = addressFromToolbarText(word.text);
        if (!address || (!title.isEmpty() && !showsTitleStart(word.text, title)))
            continue;
        // Whole: the layout's box of the line holds the word (a box that ends inside an address leaves its rest to
        // the next box), and no word follows closer than a blank is wide (the rest, which the recognizer parted).
        const int slack = word.box.height() / 2;
        const bool whole = word.box.left() >= line.left() - slack && word.box.right() <= line.right() + slack &&
                           (i + 1 == words.size() || words.at(i + 1).box.left() - word.box.right() > word.box.height());
        return {true, readSurely(word) && whole ? address : std::nullopt};
    }
    return {};
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

QList<OcrWord> readBarWords(PageReader& reader, const QImage& page, const QRect& box,
                            const std::atomic<bool>& cancelled) {
    // The line's rows and as many again above and below, so that the line is cut out of them as from the page.
    const QRect rows = QRect(0, box.top() - box.height(), page.width(), 3 * box.height()).intersected(page.rect());
    QImage strip =
        page.copy(rows).scaled(rows.size() * barEnlargement, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (strip.format() != QImage::Format_Grayscale8)
        strip = strip.convertToFormat(QImage::Format_Grayscale8);
    const QRect enlarged(box.left() * barEnlargement, (box.top() - rows.top()) * barEnlargement,
                         box.width() * barEnlargement, box.height() * barEnlargement);
    return reader.readLineIn(strip, enlarged, addressCharacters, cancelled, barInkGain);
}

QCoro::Task<std::optional<QString>> readScreenAddress(QImage band, QString windowTitle, CancellationToken cancel) {
    auto address = std::make_shared<std::optional<QString>>();
    auto job = std::make_shared<OcrJob>();
    job->work = [band = std::move(band), windowTitle, address](PageReader& reader, const std::atomic<bool>& cancelled) {
        const QImage page = PageReader::preparePage(band);
        if (page.isNull())
            return;
        const QList<QList<QRect>> rows = rowsOfBoxes(reader.lineBoxes(page));
        if (rows.isEmpty())
            return;
        // The tab strip: however unsure the recognizer is of a tab's title, it is the title's only when its start
        // is the window title's.
        const auto showsTitle = [&](const QList<QRect>& row) {
            return std::any_of(row.begin(), row.end(), [&](const QRect& box) {
                const std::optional<PageReader::Line> line = reader.readLine(page, box, cancelled);
                return line && showsTitleStart(line->text, windowTitle);
            });
        };
        const auto tabs = std::find_if(rows.begin(), rows.end(), showsTitle);
        if (cancelled.load())
            return;
        // Where the bar may be: the window's top row unless the tabs are there (a header bar, which holds the
        // navigation, the address and the window's buttons, above the tabs or without any; a tool bar at the top),
        // then the row below the tabs; last the top row that seemed to be the tabs, when the title's words show in
        // its address (a header bar of a page whose address holds its title's words, and no tabs).
        struct Bar {
            QList<QRect> row;
            QString title;
        };
        QList<Bar> bars;
        if (tabs != rows.begin())
            bars.append({rows.first(), QString()});
        if (tabs != rows.end() && tabs + 1 != rows.end())
            bars.append({*(tabs + 1), QString()});
        if (tabs == rows.begin())
            bars.append({rows.first(), windowTitle});
        for (const Bar& bar : bars) {
            for (const QRect& box : bar.row) {
                const BarAddress read = addressOfBarWords(readBarWords(reader, page, box, cancelled), box, bar.title);
                if (cancelled.load())
                    return;
                // The first address shown decides: one read unsurely gives none rather than another row's.
                if (read.found) {
                    *address = read.address;
                    return;
                }
            }
        }
    };
    co_await OcrEngine::perform(job, cancel);
    co_return *address;
}

} // namespace tavrine::capture

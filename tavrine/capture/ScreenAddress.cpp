#include "tavrine/capture/ScreenAddress.h"

#include "tavrine/capture/AddressField.h"
#include "tavrine/capture/AddressGlyphs.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceText.h"
#include "tavrine/model/PageAddress.h"
#include "tavrine/ocr/LineCleanup.h"
#include "tavrine/ocr/OcrEngine.h"
#include "tavrine/ocr/PageReader.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cmath>
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
// 40; both, 60. A recognizer that misreads a character at one size often reads it right at another, so the line is
// read in these looks in turn until one reads surely and its glyphs bear it out. Measured on 445 real bars of six
// browsers: of 146 bars of ordinary pages, 108 read exactly in these looks against 80 in the first alone; of 299
// bars of addresses full of look-alike letters, 186; none of either wrongly.
const QList<BarLook> barLooks = {{2.0, 4.0}, {3.0, 4.0}, {2.0, 1.0}, {2.5, 4.0}, {1.5, 1.0}};

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

// A bar shows an address whole only with room left after it in its field, at least this many of the address's heights
// of blank: a field that is full shows its address cut. Chromium ends what does not fit with an ellipsis, Firefox
// fades it out, a field scrolled to its end hides the address's start; each leaves the field's end (its icons, its
// border) closer after the last character read than this.
constexpr double roomAfter = 2.0;
// A grey this far from the field's ground is something drawn in it.
constexpr int drawnGrey = 24;

// The tab strip is one of this many rows at the window's top.
constexpr qsizetype tabRows = 2;

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

// The letters and digits of a text, case-folded, with the letters a recognizer takes for one another made one ("rn"
// and "m", "I", "l" and "1", "0" and "o"): what survives of a title however a tab draws and a recognizer reads it.
QString lettersAndDigits(const QString& text) {
    QString kept;
    for (const QChar c : text) {
        if (!c.isLetterOrNumber())
            continue;
        const QChar folded = c.toCaseFolded();
        if (folded == QLatin1Char('i') || folded == QLatin1Char('1'))
            kept += QLatin1Char('l');
        else if (folded == QLatin1Char('0'))
            kept += QLatin1Char('o');
        else if (folded == QLatin1Char('n') && kept.endsWith(QLatin1Char('r')))
            kept.back() = QLatin1Char('m');
        else
            kept += folded;
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

// Whether the letters and digits of the page's part of a window title begin or end within a text, one misread
// among them allowed. A tab cuts a long title at its end, and a layout may cut a tab's text at its start. A title
// too short to tell shows nowhere.
bool holdsTitle(const QString& text, const QString& windowTitle) {
    const QString letters = lettersAndDigits(pageTitle(windowTitle));
    if (letters.size() < shortestTitleKey)
        return false;
    const QString inText = lettersAndDigits(text);
    for (const QString& key : {letters.left(titleKeyLength), letters.right(titleKeyLength)}) {
        if (occursWithin(key, inText, key.size() >= tolerantTitleKey ? 1 : 0))
            return true;
    }
    return false;
}

// Whether a word a bar's line was read as comes near an address, as a misread scheme or host leaves it: a dot
// and a slash or colon among at least six characters.
bool nearlyAddress(const QString& word) {
    return word.size() >= 6 && word.contains(QLatin1Char('.')) &&
           (word.contains(QLatin1Char('/')) || word.contains(QLatin1Char(':')));
}

// The address a bar's word shows, from its scheme on when it has one (what a recognizer makes of the field's icon
// stands before it), with the recognizer's confidence in each of its characters.
OcrWord fromScheme(const OcrWord& word) {
    static const QRegularExpression scheme(QStringLiteral("https?://"));
    const qsizetype start = std::max<qsizetype>(0, word.text.indexOf(scheme));
    return {word.text.mid(start), word.box, word.characterConfidences.mid(start), word.characterBoxes.mid(start)};
}

// Whether the bar's field is blank for roomAfter of the word's heights right of the word, on the word's rows (the
// field's ground is the commonest grey there).
bool roomAfterWord(const QImage& page, const OcrWord& word) {
    const QRect after =
        QRect(word.box.right() + 1, word.box.top(), int(std::ceil(roomAfter * word.box.height())), word.box.height());
    if (page.format() != QImage::Format_Grayscale8 || !page.rect().contains(after))
        return false;
    const int ground = backgroundOf(page, after).first;
    for (int y = after.top(); y <= after.bottom(); ++y) {
        const uchar* line = page.constScanLine(y);
        for (int x = after.left(); x <= after.right(); ++x) {
            if (std::abs(int(line[x]) - ground) >= drawnGrey)
                return false;
        }
    }
    return true;
}

// Whether a word read off a bar shows an address cut short: an ellipsis read as dots (the recognizer knows only the
// characters of addresses), or a last dot where an ellipsis read as one would be.
bool readCut(const QString& word) {
    return AddressField::isCut(word) || word.endsWith(QLatin1Char('.'));
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
// address's shape, read surely and whole, and borne out by its glyphs on the page. `title`, when given, is a window
// title the word must show the start of (a row that shows the title is taken for the bar only through its address).
BarReading addressOfBarWords(const QImage& page, const QList<OcrWord>& words, const QRect& line, const QString& title) {
    for (qsizetype i = 0; i < words.size(); ++i) {
        const OcrWord word = fromScheme(words.at(i));
        if (word.box.left() < navigationReach * word.box.height())
            continue;
        const std::optional<QString> address = addressFromToolbarText(word.text);
        if (!address || (!title.isEmpty() && !holdsTitle(word.text, title)))
            continue;
        // Whole: the layout's box of the line holds the word (a box that ends inside an address leaves its rest to
        // the next box), and no word follows closer than a blank is wide (the rest, which the recognizer parted).
        const int slack = word.box.height() / 2;
        const bool whole = word.box.left() >= line.left() - slack && word.box.right() <= line.right() + slack &&
                           (i + 1 == words.size() || words.at(i + 1).box.left() - word.box.right() > word.box.height());
        BarReading read{true, std::nullopt, word.text, QString()};
        if (!whole) {
            read.doubt = QStringLiteral("not whole");
        } else if (readCut(word.text) || !roomAfterWord(page, word)) {
            read.shownCut = true;
            read.doubt = readCut(word.text) ? QStringLiteral("cut") : QStringLiteral("no room after");
        } else if (!readSurely(word)) {
            read.doubt = QStringLiteral("unsure");
        } else {
            read.doubt = glyphDoubt(page, word);
        }
        if (read.doubt.isEmpty())
            read.address = address;
        return read;
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

bool showsTitle(const QString& line, const QString& windowTitle) {
    // An address in the line, however misread, is the bar's, unless the title shows one too.
    const auto words = [](const QString& text) {
        return text::collapseWhitespace(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    };
    const QStringList titleWords = words(pageTitle(windowTitle));
    if (std::any_of(titleWords.begin(), titleWords.end(), nearlyAddress))
        return holdsTitle(line, windowTitle);
    QStringList shown = words(line);
    shown.removeIf(nearlyAddress);
    return holdsTitle(shown.join(QLatin1Char(' ')), windowTitle);
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
                            const std::atomic<bool>& cancelled, BarLook look) {
    // The line's rows and as many again above and below, so that the line is cut out of them as from the page.
    const QRect rows = QRect(0, box.top() - box.height(), page.width(), 3 * box.height()).intersected(page.rect());
    const double scale = look.enlargement;
    const QSize size(int(std::lround(rows.width() * scale)), int(std::lround(rows.height() * scale)));
    QImage strip = page.copy(rows).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (strip.format() != QImage::Format_Grayscale8)
        strip = strip.convertToFormat(QImage::Format_Grayscale8);
    const QRect enlarged(int(std::lround(box.left() * scale)), int(std::lround((box.top() - rows.top()) * scale)),
                         int(std::lround(box.width() * scale)), int(std::lround(box.height() * scale)));
    QList<OcrWord> words = reader.readLineIn(strip, enlarged, addressCharacters, cancelled, look.inkGain);
    const auto onPage = [&](const QRect& r) {
        return QRect(QPoint(int(r.left() / scale), int(r.top() / scale) + rows.top()),
                     QPoint(int(r.right() / scale), int(r.bottom() / scale) + rows.top()));
    };
    for (OcrWord& word : words) {
        word.box = onPage(word.box);
        for (QRect& character : word.characterBoxes)
            character = onPage(character);
    }
    return words;
}

BarReading readBarAddress(PageReader& reader, const QImage& band, const QString& windowTitle,
                          const std::atomic<bool>& cancelled) {
    const QImage page = PageReader::preparePage(band);
    if (page.isNull())
        return {};
    const QList<QList<QRect>> rows = rowsOfBoxes(reader.lineBoxes(page));
    if (rows.isEmpty())
        return {};
    // The tab strip: however unsure the recognizer is of a tab's title, it is the title's only when its start
    // is the window title's.
    const auto rowShowsTitle = [&](const QList<QRect>& row) {
        return std::any_of(row.begin(), row.end(), [&](const QRect& box) {
            const std::optional<PageReader::Line> line = reader.readLine(page, box, cancelled);
            return line && showsTitle(line->text, windowTitle);
        });
    };
    // The tabs are the first of the top rows to show the title: below them, a row that does is the page's heading.
    const qsizetype tabs = [&] {
        for (qsizetype i = 0; i < std::min<qsizetype>(rows.size(), tabRows); ++i) {
            if (rowShowsTitle(rows.at(i)))
                return i;
        }
        return qsizetype(-1);
    }();
    if (cancelled.load())
        return {};
    // Where the bar may be: the window's top row unless the tabs are there (a header bar, which holds the
    // navigation, the address and the window's buttons, above the tabs or without any; a tool bar at the top),
    // then the row below the tabs (below a menu bar and the tabs, too); last the top row that seemed to be the tabs,
    // when the title's words show in its address (a header bar of a page whose address holds its title's words, and no
    // tabs).
    struct Bar {
        qsizetype row;
        QString title;
    };
    QList<Bar> bars;
    if (tabs != 0)
        bars.append({0, QString()});
    if (tabs >= 0)
        bars.append({tabs + 1, QString()});
    if (tabs == 0)
        bars.append({0, windowTitle});
    QSet<qsizetype> tried;
    for (const Bar& bar : bars) {
        if (bar.row >= rows.size() || (bar.title.isEmpty() && tried.contains(bar.row)))
            continue;
        tried.insert(bar.row);
        for (const QRect& box : rows.at(bar.row)) {
            // The first address shown decides: one read unsurely in every look gives none rather than another row's.
            BarReading first;
            int looks = 0;
            for (const BarLook& look : barLooks) {
                const QList<OcrWord> words = readBarWords(reader, page, box, cancelled, look);
                BarReading read = addressOfBarWords(page, words, box, bar.title);
                read.looks = ++looks;
                if (cancelled.load())
                    return {};
                if (read.address || read.shownCut)
                    return read;
                if (read.found && !first.found)
                    first = read;
                // A box that shows nothing like an address is not read again.
                if (!read.found && !first.found && std::none_of(words.begin(), words.end(), [](const OcrWord& word) {
                        return nearlyAddress(word.text);
                    }))
                    break;
            }
            if (first.found)
                return first;
        }
    }
    return {};
}

QCoro::Task<std::optional<QString>> readScreenAddress(QImage band, QString windowTitle, CancellationToken cancel) {
    auto address = std::make_shared<std::optional<QString>>();
    auto job = std::make_shared<OcrJob>();
    job->work = [band = std::move(band), windowTitle, address](PageReader& reader, const std::atomic<bool>& cancelled) {
        *address = readBarAddress(reader, band, windowTitle, cancelled).address;
    };
    co_await OcrEngine::perform(job, cancel);
    co_return *address;
}

} // namespace tavrine::capture

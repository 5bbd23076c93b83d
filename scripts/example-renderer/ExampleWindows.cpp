#include "ExampleWindows.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace examples {

namespace {

QFont fontFor(const Block& block) {
    QFont font(block.mono ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
    font.setPixelSize(block.pixelSize);
    font.setBold(block.bold);
    return font;
}

constexpr int titleBarHeight = 52;

// One line of the window's body text: the line spacing of its longest block.
int lineHeightOf(const Window& w) {
    const Block* longest = nullptr;
    for (const Block& block : w.blocks) {
        if (!longest || block.text.size() > longest->text.size())
            longest = &block;
    }
    return longest ? QFontMetrics(fontFor(*longest)).lineSpacing() : 20;
}

} // namespace

QImage draw(const Window& w, int lines, bool edited) {
    QImage image(w.size, QImage::Format_RGB32);
    image.fill(w.background);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(QRect(0, 0, w.size.width(), titleBarHeight), w.chrome);
    p.setBrush(QColor(255, 95, 86));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(i == 0 ? QColor(255, 95, 86) : i == 1 ? QColor(255, 189, 46) : QColor(39, 201, 63));
        p.drawEllipse(QPoint(18 + i * 20, 16), 6, 6);
    }
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(12);
    p.setFont(small);
    p.setPen(QColor(70, 70, 74));
    p.drawText(QRect(0, 6, w.size.width(), 20), Qt::AlignHCenter | Qt::AlignVCenter, w.title);
    if (!w.toolbar.isEmpty()) {
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRect(w.size.width() / 5, 28, w.size.width() * 3 / 5, 20), 6, 6);
        p.drawText(QRect(w.size.width() / 5 + 10, 28, w.size.width() * 3 / 5 - 20, 20), Qt::AlignVCenter, w.toolbar);
    }
    // The content scrolls under the title bar; below its end the page starts again, so that new text comes in.
    const QRect content(0, titleBarHeight, w.size.width(), w.size.height() - titleBarHeight);
    p.setClipRect(content);
    const int scrolled = lines * lineHeightOf(w);
    const auto places = [&](bool fixed) {
        if (fixed || scrolled == 0)
            return std::vector<int>{0};
        const int shift = -(scrolled % content.height());
        return std::vector<int>{shift, shift + content.height()};
    };
    for (const Panel& panel : w.panels) {
        for (const int dy : places(panel.fixed))
            p.fillRect(panel.area.translated(0, dy), panel.color);
    }
    for (const Block& block : w.blocks) {
        QString text = block.text;
        if (edited && !w.editText.isEmpty())
            text.replace(w.editText, w.editedText);
        p.setFont(fontFor(block));
        p.setPen(block.color);
        for (const int dy : places(block.fixed))
            p.drawText(block.area.translated(0, dy), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    }
    return image;
}

std::vector<Window> windows() {
    const QColor ink(30, 32, 36);
    const QColor muted(96, 100, 108);
    const QColor link(32, 86, 200);
    std::vector<Window> all;

    all.push_back(
        {QStringLiteral("Safari.png"),
         {960, 600},
         Qt::white,
         QColor(236, 236, 238),
         QStringLiteral("Accessibility - Wikipedia"),
         QStringLiteral("en.wikipedia.org/wiki/Accessibility"),
         {{QRect(0, 52, 200, 548), QColor(246, 246, 248)}},
         {{QRect(20, 80, 170, 200), QStringLiteral("Main page\nContents\nCurrent events\nRandom article"), 13, link},
          {QRect(230, 74, 700, 40), QStringLiteral("Accessibility"), 30, ink, true},
          {QRect(230, 122, 700, 20), QStringLiteral("From Wikipedia, the free encyclopedia"), 13, muted},
          {QRect(230, 156, 700, 200),
           QStringLiteral("Accessibility is the design of products, devices, services, vehicles, or "
                          "environments to be usable by disabled people. The concept of accessible "
                          "design ensures both direct access and indirect access through assistive "
                          "technology such as screen readers."),
           16, ink},
          {QRect(230, 300, 700, 30), QStringLiteral("Legislation"), 22, ink, true},
          {QRect(230, 340, 700, 200),
           QStringLiteral("Many countries have laws that require public websites to meet accessibility "
                          "guidelines. Captions for video, keyboard navigation and sufficient colour "
                          "contrast are common requirements."),
           16, ink}}});

    all.push_back({QStringLiteral("Google_Chrome.png"),
                   {960, 600},
                   Qt::white,
                   QColor(222, 225, 230),
                   QStringLiteral("Rust (programming language) - Wikipedia"),
                   QStringLiteral("en.wikipedia.org/wiki/Rust_(programming_language)"),
                   {{QRect(660, 140, 270, 260), QColor(248, 249, 250)}},
                   {{QRect(30, 74, 880, 40), QStringLiteral("Rust (programming language)"), 28, ink, true},
                    {QRect(30, 140, 600, 260),
                     QStringLiteral("Rust is a general-purpose programming language that emphasizes performance, "
                                    "type safety and concurrency. It enforces memory safety without a garbage "
                                    "collector by checking ownership and borrowing when a program is compiled."),
                     16, ink},
                    {QRect(30, 300, 600, 30), QStringLiteral("Syntax and features"), 22, ink, true},
                    {QRect(30, 340, 600, 200),
                     QStringLiteral("Functions are declared with fn, variables are immutable unless marked mut, "
                                    "and pattern matching works on enums and structs."),
                     16, ink},
                    {QRect(676, 156, 240, 240),
                     QStringLiteral("Paradigms: multi-paradigm\nFirst appeared: 2015\nTyping: static, strong\n"
                                    "Memory: ownership\nFile extension: .rs"),
                     13, ink}}});

    all.push_back(
        {QStringLiteral("Dia.png"),
         {960, 600},
         Qt::white,
         QColor(240, 238, 246),
         QStringLiteral("DuckDuckGo | cursor handoff work to phone"),
         QStringLiteral("duckduckgo.com/?q=cursor+handoff+work+to+phone"),
         {{QRect(30, 70, 620, 36), QColor(244, 244, 246)}},
         {{QRect(42, 78, 600, 24), QStringLiteral("cursor handoff work to phone"), 16, ink},
          {QRect(30, 130, 700, 24), QStringLiteral("How to Handoff Your Session"), 19, link, true},
          {QRect(30, 158, 700, 60),
           QStringLiteral("Pick up where you left off: send your current editor session to your phone "
                          "and keep reviewing changes on the go."),
           14, muted},
          {QRect(30, 240, 700, 24), QStringLiteral("Continue work from desktop to mobile - Forum"), 19, link, true},
          {QRect(30, 268, 700, 60), QStringLiteral("Users discuss syncing open files between a laptop and a phone."),
           14, muted},
          {QRect(30, 350, 700, 24), QStringLiteral("Handoff settings explained"), 19, link, true},
          {QRect(30, 378, 700, 60), QStringLiteral("Turn on Handoff in the general settings of both devices."), 14,
           muted}}});

    all.push_back({QStringLiteral("Cursor.png"),
                   {960, 600},
                   QColor(30, 31, 36),
                   QColor(44, 45, 52),
                   QStringLiteral("Cursor Agents"),
                   QString(),
                   {{QRect(0, 52, 220, 548), QColor(37, 38, 44)}, {QRect(640, 52, 320, 548), QColor(37, 38, 44)}},
                   {{QRect(16, 70, 200, 200),
                     QStringLiteral("EXPLORER\nsrc\n  capture.swift\n  tracker.swift\n"
                                    "  session.swift\nREADME.md"),
                     13, QColor(200, 200, 210)},
                    {QRect(240, 70, 390, 420),
                     QStringLiteral("import ScreenCaptureKit\n\nfinal class ScreenTracker {\n"
                                    "    var lastWindow: String?\n\n    func start() async {\n"
                                    "        // poll the frontmost window\n    }\n}"),
                     14, QColor(214, 222, 235), false, true},
                    {QRect(656, 70, 290, 24), QStringLiteral("Agents"), 16, QColor(235, 235, 240), true},
                    {QRect(656, 104, 290, 300),
                     QStringLiteral("MacOS screen tracking app\n\nAdd a tracker that records the frontmost window "
                                    "every second and stores the title."),
                     14, QColor(200, 200, 210)}}});

    all.push_back(
        {QStringLiteral("Mail.png"),
         {960, 600},
         Qt::white,
         QColor(236, 236, 238),
         QStringLiteral("Inbox \u2013 sam.rivera@example.com"),
         QString(),
         {{QRect(0, 52, 330, 548), QColor(248, 248, 250)}, {QRect(0, 52, 330, 84), QColor(214, 228, 250)}},
         {{QRect(16, 62, 300, 80),
           QStringLiteral("Northwind Payments\nYour login code for the Northwind Payments portal"), 13, ink, true},
          {QRect(16, 150, 300, 60), QStringLiteral("Priya Shah\nLunch on Friday?"), 13, ink},
          {QRect(16, 220, 300, 60), QStringLiteral("Garden Club\nSeed swap this weekend"), 13, ink},
          {QRect(360, 70, 580, 60), QStringLiteral("Your login code for the Northwind Payments portal"), 20, ink, true},
          {QRect(360, 130, 580, 20), QStringLiteral("From: Northwind Payments <no-reply@northwind.example>"), 13,
           muted},
          {QRect(360, 180, 580, 200),
           QStringLiteral("Hello Sam,\n\nUse this code to sign in to the payment portal: 482 913\n\n"
                          "The code expires in ten minutes. If you did not ask for it, ignore this "
                          "message."),
           15, ink}}});

    all.push_back({QStringLiteral("Notes_shopping.png"),
                   {820, 560},
                   QColor(255, 252, 236),
                   QColor(236, 236, 238),
                   QStringLiteral("Shopping list"),
                   QString(),
                   {{QRect(0, 52, 220, 508), QColor(246, 243, 226)}},
                   {{QRect(16, 70, 200, 140), QStringLiteral("Shopping list\nBook club picks\nTrip packing"), 13, ink},
                    {QRect(250, 74, 540, 40), QStringLiteral("Shopping list"), 26, ink, true},
                    {QRect(250, 130, 540, 340),
                     QStringLiteral("- milk\n- eggs\n- sourdough bread\n- tomatoes\n- coffee beans\n"
                                    "- dish soap\n- oat biscuits"),
                     18, ink}}});

    all.push_back(
        {QStringLiteral("Calendar_standup.png"),
         {960, 600},
         Qt::white,
         QColor(236, 236, 238),
         QStringLiteral("Tuesday 22 Sep"),
         QString(),
         {{QRect(90, 150, 500, 70), QColor(220, 232, 252)}, {QRect(90, 300, 500, 70), QColor(226, 246, 230)}},
         {{QRect(20, 70, 900, 36), QStringLiteral("Tuesday 22 Sep"), 24, ink, true},
          {QRect(20, 158, 60, 20), QStringLiteral("09:30"), 12, muted},
          {QRect(20, 308, 60, 20), QStringLiteral("10:30"), 12, muted},
          {QRect(102, 158, 480, 60), QStringLiteral("Standup with Design\n09:30 - 09:45, Room Juniper"), 15, ink},
          {QRect(102, 308, 480, 60), QStringLiteral("Prepare: demo timeline\n10:30 - 11:30"), 15, ink},
          {QRect(620, 150, 320, 200),
           QStringLiteral("Standup with Design\nNotes: walk through the new onboarding screens and agree "
                          "on the demo order."),
           13, muted}}});

    all.push_back({QStringLiteral("Terminal_git.png"),
                   {900, 520},
                   QColor(24, 24, 27),
                   QColor(52, 52, 56),
                   QStringLiteral("tavrine \u2014 git status"),
                   QString(),
                   {},
                   {{QRect(16, 64, 870, 440),
                     QStringLiteral("$ git status\nOn branch main\nYour branch is up to date with 'origin/main'.\n\n"
                                    "Changes not staged for commit:\n  (use \"git add <file>...\" to update what "
                                    "will be committed)\n\tmodified:   tavrine/eval/Evaluation.cpp\n"
                                    "\tmodified:   examples/judge-cases.json\n\nUntracked files:\n"
                                    "\tnotes/todo.md\n\n$"),
                     15, QColor(220, 220, 220), false, true}}});

    // What stays put when a window scrolls (side bars, a message list) and which line its edited copy rewrites.
    struct Change {
        const char* file;
        std::vector<int> fixedPanels;
        std::vector<int> fixedBlocks;
        const char* editText;
        const char* editedText;
    };
    const Change changes[] = {
        {"Safari.png", {}, {}, "Legislation", "Legal requirements"},
        {"Google_Chrome.png", {}, {}, "Syntax and features", "Language design"},
        {"Dia.png", {}, {}, "Handoff settings explained", "Handoff troubleshooting guide"},
        {"Cursor.png", {0}, {0}, "var lastWindow: String?", "var lastTitle = \"untitled\""},
        {"Mail.png", {0, 1}, {0, 1, 2}, "482 913", "705 226"},
        {"Notes_shopping.png", {0}, {0}, "- tomatoes", "- cherry tomatoes"},
        {"Calendar_standup.png", {}, {}, "Prepare: demo timeline", "Prepare: launch checklist"},
        {"Terminal_git.png", {}, {}, "notes/todo.md", "notes/release-plan.md"},
    };
    for (const Change& change : changes) {
        for (Window& window : all) {
            if (window.file != QLatin1String(change.file))
                continue;
            for (const int panel : change.fixedPanels)
                window.panels[size_t(panel)].fixed = true;
            for (const int block : change.fixedBlocks)
                window.blocks[size_t(block)].fixed = true;
            window.editText = QString::fromUtf8(change.editText);
            window.editedText = QString::fromUtf8(change.editedText);
        }
    }
    return all;
}


} // namespace examples

#include "fakes/FakePermissions.h"
#include "session/SessionHarness.h"
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/onboarding/MeshBackdrop.h"
#include "tavrine/onboarding/OnboardingFlow.h"
#include "tavrine/onboarding/OnboardingPages.h"
#include "tavrine/onboarding/OnboardingStage.h"
#include "tavrine/ui/CaretBlink.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QAccessible>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::onboarding;
using namespace tavrine::test;

namespace {

struct ViewScene {
    // The flow keeps its page in `given`, else in defaults of its own.
    explicit ViewScene(UserDefaults* given = nullptr) {
        flow = std::make_unique<OnboardingFlow>(
            *h.session, std::make_unique<OnboardingRehearsal>(h.clock),
            std::make_unique<OnboardingStage>(qml.engine(), h.clock, OnboardingStage::defaultParts()),
            given ? *given : defaults, &permissions, QStringList{QStringLiteral("tavrine")}, OnboardingFlow::Hooks{});
        root =
            qml.create(ui::componentUrl(QStringLiteral("Tavrine.Onboarding"), QStringLiteral("OnboardingWindowRoot")),
                       {{QStringLiteral("flow"), QVariant::fromValue<QObject*>(flow.get())}});
        window = showInWindow(qobject_cast<QQuickItem*>(root.get()), 800, 600);
    }
    ~ViewScene() {
        EXPECT_TRUE(qml.warnings().isEmpty()) << qml.warnings().join('\n').toStdString();
        window.reset();
        root.reset();
        flow.reset();
    }
    QQuickItem* item(const char* name) const { return findItem(root.get(), QString::fromLatin1(name)); }
    // Lets the page slide in and the backdrop settle.
    void settle() { QTest::qWait(400); }

    SessionHarness h;
    QmlHarness qml;
    MemoryUserDefaults defaults;
    FakePermissions permissions;
    std::unique_ptr<OnboardingFlow> flow;
    std::unique_ptr<QObject> root;
    std::unique_ptr<QQuickWindow> window;
};

// Whether the accessible tree under `node` (as a screen reader walks it) holds a visible static text that reads
// `text`.
bool readsAloud(QAccessibleInterface* node, const QString& text) {
    if (!node)
        return false;
    if (node->role() == QAccessible::StaticText && node->text(QAccessible::Name) == text && !node->state().invisible)
        return true;
    for (int i = 0; i < node->childCount(); ++i)
        if (readsAloud(node->child(i), text))
            return true;
    return false;
}

} // namespace

// The footer and the header follow each page's row of the page table.
TEST(OnboardingView, EachPageShowsItsOwnControls) {
    ViewScene s;
    ASSERT_TRUE(s.root);
    struct Row {
        OnboardingPage page;
        const char* primary;
        const char* primaryTitle;
        bool back, skip, notNow, indicator;
    };
    const Row rows[] = {
        {OnboardingPage::Welcome, "onboardingContinue", "Continue", false, false, false, true},
        {OnboardingPage::Permissions, "onboardingContinue", "Continue", true, false, false, true},
        {OnboardingPage::Rehearsal, "onboardingStartRehearsal", "Start focus session", true, true, false, true},
        {OnboardingPage::Ready, "onboardingGetStarted", "Start Focus mode", false, false, true, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.primary);
        while (s.flow->page() != row.page)
            s.flow->advance();
        s.settle();
        QQuickItem* primary = s.item(row.primary);
        ASSERT_TRUE(primary);
        EXPECT_TRUE(primary->isEnabled());
        EXPECT_EQ(primary->property("text").toString(), QString::fromLatin1(row.primaryTitle));
        QQuickItem* back = s.item("onboardingBack");
        ASSERT_TRUE(back);
        EXPECT_EQ(back->isEnabled(), row.back);
        EXPECT_EQ(back->opacity(), row.back ? 1.0 : 0.0);
        EXPECT_EQ(s.item("onboardingSkipRehearsal")->isVisible(), row.skip);
        EXPECT_EQ(s.item("onboardingLater")->isVisible(), row.notNow);
        EXPECT_EQ(s.item("onboardingIndicator")->opacity(), row.indicator ? 1.0 : 0.0);
        EXPECT_EQ(s.item("onboardingTitle")->property("text").toString(), pageTable(row.page).title);
    }
    EXPECT_TRUE(s.item("onboardingIntention"));
    EXPECT_FALSE(s.item("settingsFileNotice")->isVisible()) << "nothing to say about a usable settings file";

    // A page that appears at once (a restored one, or the one after the rehearsal when the window comes back)
    // appears whole, its dots included: no part of a step plays once it shows.
    MemoryUserDefaults stored;
    stored.setInteger(QStringLiteral("onboardingPage"), int(OnboardingPage::Ready));
    ViewScene restored(&stored);
    restored.flow->windowShown();
    ASSERT_EQ(restored.flow->page(), OnboardingPage::Ready);
    EXPECT_FALSE(restored.flow->pageAnimated());
    EXPECT_EQ(restored.item("onboardingIndicator")->opacity(), 0.0);
    EXPECT_EQ(restored.item("onboardingTitle")->property("text").toString(), pageTable(OnboardingPage::Ready).title);

    // The window's own buttons stand where a Linux title bar has them: minimise, then close at the top right.
    QQuickItem* minimize = s.item("onboardingMinimize");
    QQuickItem* close = s.item("onboardingClose");
    ASSERT_TRUE(minimize && close);
    const QRectF closeRect = close->mapRectToScene(QRectF(0, 0, close->width(), close->height()));
    const QRectF minimizeRect = minimize->mapRectToScene(QRectF(0, 0, minimize->width(), minimize->height()));
    EXPECT_GT(closeRect.left(), s.window->width() - 40.0);
    EXPECT_LT(closeRect.top(), 28.0);
    EXPECT_LT(minimizeRect.right(), closeRect.left());
    EXPECT_TRUE(findItem(close, QStringLiteral("windowButtonSymbol"))->isVisible()) << "drawn without a hover";
}

// A settings file that cannot be used makes every launch a first one: the window says which file, why, and that
// nothing is saved this run, on every page, and the file stays as it was.
TEST(OnboardingView, ARefusedSettingsFileIsNamedOnEveryPage) {
    const QString path = temporaryFolder() + QStringLiteral("/tavrine.ini");
    ASSERT_TRUE(QDir().mkpath(path));
    SettingsUserDefaults refused(path);
    ViewScene s(&refused);
    for (int page = 0; page < 4; ++page) {
        s.settle();
        QQuickItem* notice = s.item("settingsFileNotice");
        ASSERT_TRUE(notice);
        EXPECT_TRUE(notice->isVisible());
        const QString text = notice->property("text").toString();
        EXPECT_TRUE(text.contains(path) && text.contains(QStringLiteral("it is a folder")) &&
                    text.contains(QStringLiteral("saves no settings this run")))
            << text.toStdString();
        // A screen reader finds the same line in the window's tree.
        EXPECT_TRUE(readsAloud(QAccessible::queryAccessibleInterface(s.window.get()), text)) << text.toStdString();
        // Clear of the footer's buttons and of the page's header.
        const QRectF shown = notice->mapRectToScene(QRectF(0, 0, notice->width(), notice->height()));
        QQuickItem* footer = s.item("onboardingFooter");
        QQuickItem* header = s.item("onboardingHeader");
        EXPECT_LE(shown.bottom(), footer->mapRectToScene(QRectF(0, 0, footer->width(), footer->height())).top());
        EXPECT_GE(shown.top(), header->mapRectToScene(header->childrenRect()).bottom());
        if (page < 3)
            s.flow->advance();
    }
    EXPECT_EQ(s.flow->page(), OnboardingPage::Ready);
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(OnboardingView, EnableIsGoneOnceGranted) {
    ViewScene s;
    s.permissions.accessibility = false;
    s.permissions.screenCapture = true;
    s.flow->refreshAccess();
    s.flow->advance();
    s.settle();
    EXPECT_TRUE(s.item("onboardingAccessibility"));
    EXPECT_TRUE(s.item("onboardingEnableAccessibility"));
    EXPECT_FALSE(s.item("onboardingEnableScreenRecording"));
    s.permissions.accessibility = true;
    s.flow->applicationStateChanged(Qt::ApplicationActive);
    QTest::qWait(20);
    EXPECT_FALSE(s.item("onboardingEnableAccessibility"));
    EXPECT_TRUE(s.item("onboardingScreenRecording"));
}

TEST(OnboardingView, StaysLightUnderADarkPaletteAndTheBackdropCornersAreThePalettePoints) {
    const QPalette saved = QGuiApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
    QGuiApplication::setPalette(dark);
    {
        ViewScene s;
        s.settle();
        const QImage image = s.window->grabWindow();
        ASSERT_FALSE(image.isNull());
        const BackdropPalette& palette = pageTable(OnboardingPage::Welcome).palette;
        const auto near = [](QRgb a, QRgb b) {
            return std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
                   std::abs(qBlue(a) - qBlue(b)) <= 2;
        };
        // The top-left corner lies under the close button: the bottom corners and the top-right one are free.
        EXPECT_TRUE(near(image.pixel(image.width() - 1, 0), palette[2].rgb()));
        EXPECT_TRUE(near(image.pixel(0, image.height() - 1), palette[6].rgb()));
        EXPECT_TRUE(near(image.pixel(image.width() - 1, image.height() - 1), palette[8].rgb()));
        // In between, the mesh is stretched smoothly, whichever renderer draws it: along the free bottom row and
        // right column, neighbours differ by a level at most (an unfiltered stretch steps once per mesh cell).
        const auto jump = [&](QPoint a, QPoint b) {
            const QRgb p = image.pixel(a);
            const QRgb q = image.pixel(b);
            return std::max(
                {std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        };
        int worst = 0;
        for (int x = 1; x < image.width(); ++x)
            worst = std::max(worst, jump(QPoint(x - 1, image.height() - 1), QPoint(x, image.height() - 1)));
        for (int y = 1; y < image.height(); ++y)
            worst = std::max(worst, jump(QPoint(image.width() - 1, y - 1), QPoint(image.width() - 1, y)));
        EXPECT_LE(worst, 1);
        // The title is drawn in the dark ink, not the palette's light text.
        EXPECT_LT(qGray(s.item("onboardingTitle")->property("color").value<QColor>().rgb()), 60);
    }
    QGuiApplication::setPalette(saved);
}

// Return stepping through the pages is tried with real keys on the test display. The field's caret blinks for a
// while after the last key, then stands still, drawn, as the main window's does; a key blinks it again.
TEST(OnboardingView, TheIntentionFieldTakesFocusOnReadyAndKeepsReturn) {
    ViewScene s;
    s.window->requestActivate();
    while (s.flow->page() != OnboardingPage::Ready)
        s.flow->advance();
    s.settle();
    QQuickItem* field = s.item("onboardingIntention");
    ASSERT_TRUE(field);
    EXPECT_TRUE(field->hasActiveFocus());
    auto* blink =
        qobject_cast<ui::CaretBlink*>(findObject(s.root.get(), QStringLiteral("onboardingIntentionCaretBlink")));
    QQuickItem* caret = s.item("onboardingIntentionCaret");
    ASSERT_TRUE(blink && caret);
    const int stepsPerTimeout = ui::CaretBlink::timeoutMs / ui::CaretBlink::halfPeriodMs() + 1;
    ASSERT_TRUE(blink->blinking());
    const int steps = stepsUntilStill(blink, caret);
    EXPECT_GT(steps, 2);
    EXPECT_LE(steps, stepsPerTimeout);
    EXPECT_TRUE(caret->isVisible()) << "a still caret is drawn";
    for (char key : {'P', 'l', 'a', 'n'})
        QTest::keyClick(s.window.get(), key);
    EXPECT_TRUE(blink->blinking()) << "a key blinks it again";
    EXPECT_GT(stepsUntilStill(blink, caret), 2);
    EXPECT_EQ(s.h.session->intention(), QStringLiteral("Plan"));
    QTest::keyClick(s.window.get(), Qt::Key_Return);
    EXPECT_FALSE(s.h.session->isActive());
    EXPECT_EQ(s.flow->page(), OnboardingPage::Ready);
    EXPECT_EQ(s.item("onboardingGetStarted")->property("text").toString(), QStringLiteral("Start focus session"));
}
